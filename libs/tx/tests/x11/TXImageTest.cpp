// gtest comes before the X headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "tx/TXImage.h"

#include "CaptureLogger.h"
#include "TxTestDisplay.h"

#include "wvw/Widget.h"

#include <X11/Xutil.h>
#include <sched.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>

using testing_support::ScopedCapture;
using testing_support::TxTestDisplay;

namespace {

const rfb::Colour palette[] = {{255, 0, 0},     {0, 255, 0},   {0, 0, 255},
                               {255, 255, 255}, {0, 0, 0},     {187, 187, 187},
                               {51, 102, 153},  {255, 204, 0}, {10, 200, 90}};

// Paints a pattern of coloured blocks into the image and returns, for each
// block, the pixel value the display must show.
std::vector<unsigned long> paintPattern(TXImage& image) {
  std::vector<unsigned long> expected;
  int n = 0;
  for (int y = 0; y < image.height(); y += 20)
    for (int x = 0; x < image.width(); x += 30, n++) {
      const rfb::Colour& c = palette[n % 9];
      uint32_t pixel = wvw::colourToPixel(c, &image);
      image.fillRect(rfb::Rect(x, y, x + 30, y + 20), pixel);
      unsigned long shown = pixel;
      if (rfb::ColourCube* cube = image.getNativeCube())
        shown = cube->pixelOf(int(pixel));
      expected.push_back(shown);
    }
  return expected;
}

// Puts the whole image into a pixmap and reads every block back.
void expectPatternShown(Display* dpy, TXImage& image, const std::vector<unsigned long>& expected) {
  Window root = DefaultRootWindow(dpy);
  Pixmap pm = XCreatePixmap(dpy, root, unsigned(image.width()), unsigned(image.height()),
                            unsigned(DefaultDepth(dpy, DefaultScreen(dpy))));
  GC gc = XCreateGC(dpy, pm, 0, nullptr);
  image.put(pm, gc, image.getRect());
  XImage* back = XGetImage(dpy, pm, 0, 0, unsigned(image.width()), unsigned(image.height()),
                           AllPlanes, ZPixmap);
  ASSERT_NE(back, nullptr);
  int n = 0, wrong = 0;
  for (int y = 0; y < image.height(); y += 20)
    for (int x = 0; x < image.width(); x += 30, n++)
      for (int dy = 0; dy < 20 && y + dy < image.height(); dy++)
        for (int dx = 0; dx < 30 && x + dx < image.width(); dx++)
          if (XGetPixel(back, x + dx, y + dy) != expected[size_t(n)] && wrong++ < 5)
            ADD_FAILURE() << "pixel " << x + dx << "," << y + dy << " is "
                          << XGetPixel(back, x + dx, y + dy) << ", not " << expected[size_t(n)];
  EXPECT_EQ(wrong, 0);
  XDestroyImage(back);
  XFreeGC(dpy, gc);
  XFreePixmap(dpy, pm);
}

// The shared-memory segments this process created: (perms, id) pairs.
std::vector<std::pair<int, int>> ownSegments() {
  std::vector<std::pair<int, int>> found;
  std::ifstream in("/proc/sysvipc/shm");
  std::string line;
  std::getline(in, line); // header
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    long key, id, size, cpid;
    std::string perms;
    fields >> key >> id >> perms >> size >> cpid;
    if (cpid == getpid())
      found.push_back({int(std::stol(perms, nullptr, 8)), int(id)});
  }
  return found;
}

struct ScreenDepth {
  const char* screen;
  int depth;
  bool trueColour;
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const ScreenDepth& c, std::ostream* os) {
  *os << c.screen;
}

class TXImageDepths : public ::testing::TestWithParam<ScreenDepth> {};

} // namespace

TEST_P(TXImageDepths, PaintedPixelsReadBackExactly) {
  TxTestDisplay x(GetParam().screen);
  TXImage image(x.dpy, 200, 90);
  EXPECT_TRUE(image.isShared());
  EXPECT_EQ(image.getNativePF().depth, GetParam().depth);
  EXPECT_EQ(image.getPF().trueColour, GetParam().trueColour);
  std::vector<unsigned long> expected = paintPattern(image);
  expectPatternShown(x.dpy, image, expected);
}

INSTANTIATE_TEST_SUITE_P(Screens, TXImageDepths,
                         ::testing::Values(ScreenDepth{"320x200x24", 24, true},
                                           ScreenDepth{"320x200x16", 16, true},
                                           ScreenDepth{"320x200x8", 8, false}),
                         [](const ::testing::TestParamInfo<ScreenDepth>& info) {
                           return "Depth" + std::to_string(info.param.depth);
                         });

TEST(TXImage, PseudoColorDisplayGetsACubeOf216Colours) {
  TxTestDisplay x("320x200x8");
  TXImage image(x.dpy, 10, 10);
  ASSERT_NE(image.getNativeCube(), nullptr);
  XColor c;
  c.pixel = image.getNativeCube()->pixelOf(image.getNativeCube()->cellNumber(5, 0, 0));
  XQueryColor(x.dpy, TXWindow::cmap, &c);
  EXPECT_EQ(c.red, 0xFFFF);
  EXPECT_EQ(c.green, 0);
  c.pixel = image.getNativeCube()->pixelOf(image.getNativeCube()->cellNumber(1, 2, 3));
  XQueryColor(x.dpy, TXWindow::cmap, &c);
  EXPECT_EQ(c.red, 65535 / 5);
  EXPECT_EQ(c.green, 2 * 65535 / 5);
  EXPECT_EQ(c.blue, 3 * 65535 / 5);
}

TEST(TXImage, SegmentIsPrivateToTheUserAndGoneAfterwards) {
  TxTestDisplay x;
  {
    TXImage image(x.dpy, 64, 64);
    ASSERT_TRUE(image.isShared());
    std::vector<std::pair<int, int>> segments = ownSegments();
    ASSERT_EQ(segments.size(), 1u);
    EXPECT_EQ(segments[0].first & 0777, 0600);
    image.resize(100, 30);
    EXPECT_EQ(ownSegments().size(), 1u);
  }
  XSync(x.dpy, False);
  EXPECT_TRUE(ownSegments().empty());
}

TEST(TXImage, WithoutMitShmPlainImagesWorkAndOneLineIsLogged) {
  TxTestDisplay x("320x200x24", {"-extension", "MIT-SHM"});
  ScopedCapture capture("TXImage", 30);
  TXImage image(x.dpy, 120, 40);
  EXPECT_FALSE(image.isShared());
  EXPECT_EQ(capture.logger.lines.size(), 1u);
  std::vector<unsigned long> expected = paintPattern(image);
  expectPatternShown(x.dpy, image, expected);
}

TEST(TXImage, ClientInAnotherIpcNamespaceFallsBackToPlainImages) {
  if (geteuid() != 0)
    GTEST_SKIP() << "needs root for a private IPC namespace";
  testing_support::XvfbServer xvfb("320x200x24");
  pid_t pid = fork();
  if (pid == 0) {
    // The server cannot see a segment made in this namespace.
    if (unshare(CLONE_NEWIPC) != 0)
      _exit(3);
    Display* dpy = XOpenDisplay(xvfb.display().c_str());
    if (!dpy)
      _exit(3);
    TXWindow::init(dpy, "Zavconfig");
    int code = 0;
    {
      ScopedCapture capture("TXImage", 30);
      TXImage image(dpy, 50, 50);
      if (image.isShared())
        code = 1;
      else if (capture.logger.lines.size() != 1 ||
               capture.logger.lines[0].text.rfind("XShmAttach failed: ", 0) != 0)
        code = 2;
      std::vector<unsigned long> expected = paintPattern(image);
      Pixmap pm = XCreatePixmap(dpy, DefaultRootWindow(dpy), 50, 50, 24);
      image.put(pm, DefaultGC(dpy, 0), image.getRect());
      XSync(dpy, False);
      XFreePixmap(dpy, pm);
    }
    TXWindow::shutdown(dpy);
    XCloseDisplay(dpy);
    _exit(code);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(TXImage, ResizeKeepsTheCommonAreaAndClearsTheRest) {
  TxTestDisplay x;
  TXImage image(x.dpy, 40, 30);
  image.fillRect(image.getRect(), 0x123456);
  image.resize(60, 20);
  EXPECT_EQ(image.width(), 60);
  EXPECT_EQ(image.height(), 20);
  EXPECT_EQ(image.getPixel(rfb::Point(39, 19)), 0x123456u);
  EXPECT_EQ(image.getPixel(rfb::Point(40, 0)), 0u);
  EXPECT_EQ(image.getPixel(rfb::Point(59, 19)), 0u);
  image.resize(80, 50);
  EXPECT_EQ(image.getPixel(rfb::Point(0, 0)), 0x123456u);
  EXPECT_EQ(image.getPixel(rfb::Point(39, 19)), 0x123456u);
  EXPECT_EQ(image.getPixel(rfb::Point(39, 20)), 0u);
  EXPECT_EQ(image.getPixel(rfb::Point(79, 49)), 0u);
}

TEST(TXImage, ResizeOnAColourMappedDisplayKeepsPixelsToo) {
  TxTestDisplay x("320x200x8");
  TXImage image(x.dpy, 40, 30);
  image.fillRect(rfb::Rect(0, 0, 10, 10), 7);
  image.resize(20, 20);
  EXPECT_EQ(image.getPixel(rfb::Point(9, 9)), 7u);
  EXPECT_EQ(image.getPixel(rfb::Point(10, 10)), 0u);
  std::vector<unsigned long> expected = paintPattern(image);
  expectPatternShown(x.dpy, image, expected);
}
