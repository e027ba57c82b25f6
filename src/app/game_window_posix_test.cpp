// GoogleTest first: Xlib defines None as a macro, GoogleTest a type of
// that name.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <unistd.h>

#include "app/game_window_x11.h"

// The X11 window watch on the test display, with windows this test makes.
namespace quarvel::launcher {
namespace {

using x11::WindowWatchOptions;

class X11WindowWatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    display_ = XOpenDisplay(nullptr);
    ASSERT_NE(display_, nullptr) << "no X display";
    other_ = XOpenDisplay(nullptr);
    ASSERT_NE(other_, nullptr);
  }
  void TearDown() override {
    if (other_ != nullptr) XCloseDisplay(other_);
    if (display_ != nullptr) XCloseDisplay(display_);
  }

  // A window made on the second connection of this process.
  Window MakeWindow(Window parent, bool mapped) {
    const Window window = XCreateSimpleWindow(other_, parent, 10, 10, 64, 48, 0, 0, 0);
    if (mapped) XMapWindow(other_, window);
    XSync(other_, False);
    return window;
  }
  Window MakeTopLevel(bool mapped) { return MakeWindow(DefaultRootWindow(other_), mapped); }

  void NameProcess(Window window, unsigned long processId) {
    XChangeProperty(other_, window, XInternAtom(other_, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&processId), 1);
    XSync(other_, False);
  }

  void Destroy(Window window) {
    XDestroyWindow(other_, window);
    XSync(other_, False);
  }

  bool Watch(std::uint32_t processId, bool byResource) {
    WindowWatchOptions options;
    options.useResourceExtension = byResource;
    return x11::HasVisibleTopLevelWindow(display_, processId, options);
  }

  Display* display_ = nullptr;
  Display* other_ = nullptr;
};

TEST_F(X11WindowWatchTest, KnowsAWindowByItsOwnerEvenWithoutAProcessProperty) {
  const auto self = static_cast<std::uint32_t>(getpid());
  const Window window = MakeTopLevel(false);
  EXPECT_FALSE(Watch(self, true)) << "not mapped yet";
  XMapWindow(other_, window);
  XSync(other_, False);
  EXPECT_TRUE(Watch(self, true));
  EXPECT_FALSE(Watch(static_cast<std::uint32_t>(getppid()), true)) << "another process";
  EXPECT_FALSE(Watch(self, false)) << "by _NET_WM_PID alone, an unnamed window is nobody's";
  NameProcess(window, self);
  EXPECT_TRUE(Watch(self, false));
  Destroy(window);
  EXPECT_FALSE(Watch(self, true));
}

TEST_F(X11WindowWatchTest, LooksIntoFramesOfAWindowManagerThatReparents) {
  // The frame names no process; the client window inside it names one that
  // is not this test's (the property is all the fallback goes by).
  const std::uint32_t game = 4242424;
  const Window frame = MakeTopLevel(true);
  const Window client = MakeWindow(frame, true);
  NameProcess(client, game);
  EXPECT_TRUE(Watch(game, false));
  XUnmapWindow(other_, frame);
  XSync(other_, False);
  EXPECT_FALSE(Watch(game, false)) << "a client inside an unmapped frame is not on screen";
  Destroy(frame);
}

TEST_F(X11WindowWatchTest, AWindowThatVanishesDuringTheWatchIsNotTheGamesAndEndsNothing) {
  const auto self = static_cast<std::uint32_t>(getpid());
  for (const bool byResource : {true, false}) {
    for (const bool inFrame : {false, true}) {
      SCOPED_TRACE(testing::Message() << (byResource ? "by owner" : "by _NET_WM_PID")
                                      << (inFrame ? ", inside a frame" : ", top level"));
      const Window frame = inFrame ? MakeTopLevel(true) : None;
      const Window window = inFrame ? MakeWindow(frame, true) : MakeTopLevel(true);
      NameProcess(window, self);
      ASSERT_TRUE(Watch(self, byResource));

      // Listed, then gone before it is asked about: Xlib's default handler
      // would end this process with BadWindow.
      WindowWatchOptions options;
      options.useResourceExtension = byResource;
      options.afterListing = [&] { Destroy(inFrame ? frame : window); };
      EXPECT_FALSE(x11::HasVisibleTopLevelWindow(display_, self, options));
      EXPECT_FALSE(Watch(self, byResource));
    }
  }
  // The error handler was only lent: a later error on another connection
  // still reaches whoever handled errors before.
  static bool seen = false;
  const XErrorHandler previous = XSetErrorHandler([](Display*, XErrorEvent*) {
    seen = true;
    return 0;
  });
  Watch(self, true);
  XMapWindow(other_, 0x7fffff);  // no such window
  XSync(other_, False);
  XSetErrorHandler(previous);
  EXPECT_TRUE(seen);
}

}  // namespace
}  // namespace quarvel::launcher
