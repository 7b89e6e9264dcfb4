// Message boxes and the open-file dialog, behind one seam: tests set the next answer or the next
// file name, so that no real modal window ever opens in a test.
#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <optional>

class QWidget;

namespace korvel {

enum class BoxKind { kInformation, kError, kConfirm };

struct BoxRecord {
  BoxKind kind;
  QString text;
};

class Boxes {
 public:
  // "Information" or "Error" box with "OK".
  static void Show(QWidget* parent, BoxKind kind, const QString& text);
  // "Confirm" box with "&Yes" and "&No"; true only for Yes.
  static bool Ask(QWidget* parent, const QString& text);

  // Open dialog: title, filter ("Jar files (*.jar);;All files (*)"), the folder it starts in ("":
  // the current one), one existing file. Returns the chosen path, or an empty string on cancel.
  static QString OpenFile(QWidget* parent, const QString& title, const QString& filter,
                          const QString& folder = QString());
  // The same with several files.
  static QStringList OpenFiles(QWidget* parent, const QString& title, const QString& filter);

  // --- Test hooks ------------------------------------------------------------------------
  // While enabled, no modal window opens: boxes are recorded and answered from the queue
  // (Yes when it is empty), file dialogs return the queued names (cancel when empty).
  static void EnableTestMode(bool on);
  static void QueueAnswer(bool yes);
  static void QueueFiles(const QStringList& files);
  static std::deque<BoxRecord>& Shown();
  // The folder the last open dialog was asked to start in.
  static QString LastFolder();
};

// The text a box shows in its title bar.
QString BoxTitle(BoxKind kind);

}  // namespace korvel
