// Message boxes and the open-file dialog, with their test seam.
#include "ui/Boxes.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace korvel {

namespace {

struct TestState {
  bool on = false;
  std::deque<bool> answers;
  std::deque<QStringList> files;
  std::deque<BoxRecord> shown;
  QString folder;  // where the last file dialog started
};

TestState& State() {
  static TestState state;
  return state;
}

}  // namespace

QString BoxTitle(BoxKind kind) {
  switch (kind) {
    case BoxKind::kInformation:
      return QStringLiteral("Information");
    case BoxKind::kError:
      return QStringLiteral("Error");
    case BoxKind::kConfirm:
      break;
  }
  return QStringLiteral("Confirm");
}

void Boxes::Show(QWidget* parent, BoxKind kind, const QString& text) {
  if (State().on) {
    State().shown.push_back({kind, text});
    return;
  }
  QMessageBox box(kind == BoxKind::kError ? QMessageBox::Critical : QMessageBox::Information,
                  BoxTitle(kind), text, QMessageBox::NoButton, parent);
  box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
  box.exec();
}

bool Boxes::Ask(QWidget* parent, const QString& text) {
  if (State().on) {
    State().shown.push_back({BoxKind::kConfirm, text});
    if (State().answers.empty()) return true;
    const bool yes = State().answers.front();
    State().answers.pop_front();
    return yes;
  }
  QMessageBox box(QMessageBox::Question, BoxTitle(BoxKind::kConfirm), text, QMessageBox::NoButton,
                  parent);
  QPushButton* yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
  box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
  box.exec();
  return box.clickedButton() == yes;
}

QStringList Boxes::OpenFiles(QWidget* parent, const QString& title, const QString& filter) {
  if (State().on) {
    if (State().files.empty()) return {};
    QStringList files = State().files.front();
    State().files.pop_front();
    return files;
  }
  return QFileDialog::getOpenFileNames(parent, title, QString(), filter);
}

QString Boxes::OpenFile(QWidget* parent, const QString& title, const QString& filter,
                        const QString& folder) {
  if (State().on) {
    const QStringList files = OpenFiles(parent, title, filter);
    State().folder = folder;
    return files.isEmpty() ? QString() : files.front();
  }
  return QFileDialog::getOpenFileName(parent, title, folder, filter);
}

QString Boxes::LastFolder() {
  return State().folder;
}

void Boxes::EnableTestMode(bool on) {
  State() = TestState();
  State().on = on;
}

void Boxes::QueueAnswer(bool yes) {
  State().answers.push_back(yes);
}

void Boxes::QueueFiles(const QStringList& files) {
  State().files.push_back(files);
}

std::deque<BoxRecord>& Boxes::Shown() {
  return State().shown;
}

}  // namespace korvel
