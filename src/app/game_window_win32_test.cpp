#include <windows.h>

#include <gtest/gtest.h>

#include "app/game_window.h"
#include "launch/process/testing/test_process.h"

// The window test that real Windows runs every frame while it waits for the
// game (under Wine the launcher leaves before it asks), with windows of this
// test process.
namespace quarvel::launcher {
namespace {

class TestWindowClass {
 public:
  TestWindowClass() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kName;
    registered_ = RegisterClassW(&windowClass) != 0;
  }
  ~TestWindowClass() {
    if (registered_) UnregisterClassW(kName, GetModuleHandleW(nullptr));
  }
  bool Registered() const { return registered_; }
  static constexpr const wchar_t* kName = L"QuarvelGameWindowTest";

 private:
  bool registered_ = false;
};

TEST(GameWindowWin32, SeesOnlyAVisibleTopLevelWindowOfTheGivenProcess) {
  const std::uint32_t self = GetCurrentProcessId();
  test_support::ExitingChild other(0);
  ASSERT_NE(other.Id(), 0u);
  ASSERT_TRUE(CanWatchGameWindows());
  EXPECT_FALSE(HasVisibleTopLevelWindow(self)) << "no window of this process yet";

  TestWindowClass windowClass;
  ASSERT_TRUE(windowClass.Registered());
  HWND window = CreateWindowExW(0, TestWindowClass::kName, L"game window test", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(HasVisibleTopLevelWindow(self)) << "created hidden";

  ShowWindow(window, SW_SHOWNOACTIVATE);
  EXPECT_TRUE(HasVisibleTopLevelWindow(self));
  EXPECT_FALSE(HasVisibleTopLevelWindow(other.Id())) << "another process's id";
  EXPECT_FALSE(HasVisibleTopLevelWindow(0));

  ShowWindow(window, SW_HIDE);
  EXPECT_FALSE(HasVisibleTopLevelWindow(self)) << "hidden again";
  DestroyWindow(window);
  EXPECT_FALSE(HasVisibleTopLevelWindow(self));
}

}  // namespace
}  // namespace quarvel::launcher
