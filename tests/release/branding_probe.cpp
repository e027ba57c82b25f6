// Carries a studio's branding in the branding test: the same resources the
// bootstrapper gets (qvl_windows_resources), on a program that does nothing.
int main() { return 0; }
