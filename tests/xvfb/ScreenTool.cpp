// korvel-screen: the picture half of the check under a real X server.
//   korvel-screen grab WINDOW_ID OUT.png   saves what the X server shows of a window's client area
//   korvel-screen compare A.png B.png      exits 0 when the pictures have the same size and at
//                                          most 1% of their pixels differ (text antialiasing may
//                                          differ between the X server and offscreen drawing)
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <cstdio>
#include <cstring>

namespace {

int Grab(const char* window_id, const char* out) {
  QScreen* screen = QGuiApplication::primaryScreen();
  const QPixmap shot =
      screen ? screen->grabWindow(std::strtoull(window_id, nullptr, 0)) : QPixmap();
  if (shot.isNull() || !shot.save(QString::fromLocal8Bit(out))) {
    std::fprintf(stderr, "korvel-screen: cannot grab window %s\n", window_id);
    return 1;
  }
  return 0;
}

int Compare(const char* a_path, const char* b_path) {
  const QImage a = QImage(QString::fromLocal8Bit(a_path)).convertToFormat(QImage::Format_RGB32);
  const QImage b = QImage(QString::fromLocal8Bit(b_path)).convertToFormat(QImage::Format_RGB32);
  if (a.isNull() || b.isNull() || a.size() != b.size()) {
    std::fprintf(stderr, "korvel-screen: %s (%dx%d) and %s (%dx%d) differ in size\n", a_path,
                 a.width(), a.height(), b_path, b.width(), b.height());
    return 1;
  }
  long differing = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) differing += a.pixel(x, y) != b.pixel(x, y);
  }
  const long total = static_cast<long>(a.width()) * a.height();
  std::printf("%s: %ld of %ld pixels differ\n", a_path, differing, total);
  return differing * 100 <= total ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "Usage: korvel-screen grab WINDOW_ID OUT.png | compare A.png B.png\n");
    return 2;
  }
  QGuiApplication app(argc, argv);
  if (std::strcmp(argv[1], "grab") == 0) return Grab(argv[2], argv[3]);
  if (std::strcmp(argv[1], "compare") == 0) return Compare(argv[2], argv[3]);
  return 2;
}
