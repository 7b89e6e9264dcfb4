// TfrmOptions: the Options dialog, editing the settings but the language file.
#include "ui/OptionsDialog.h"

#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>

#include "settings/KeyLayout.h"
#include "ui/Boxes.h"
#include "ui/Look.h"
#include "ui/MainShape.h"
#include "ui/controls/ControlTypes.h"
#include "ui/controls/FlatButton.h"
#include "ui/controls/GlyphCheckBox.h"
#include "ui/controls/WindowFade.h"

namespace korvel {

namespace {

const QColor kGrayedTick(0x6D, 0x84, 0x9C);

// Labels treat "&" as the accelerator mark: "&&" shows one "&", a single one shows nothing.
QString LabelText(const QString& caption) {
  QString shown;
  for (qsizetype i = 0; i < caption.size(); ++i) {
    if (caption[i] == QLatin1Char('&')) {
      if (i + 1 < caption.size() && caption[i + 1] == QLatin1Char('&')) {
        shown += QLatin1Char('&');
        ++i;
      }
      continue;
    }
    shown += caption[i];
  }
  return shown;
}

// The check box glyph: white outer columns (the transparent colour), a frame in the accent
// colour round a pale gradient, and a tick when `tick` is valid.
QImage Glyph(const QColor& tick) {
  QImage image(15, 13, QImage::Format_RGB888);
  image.fill(Qt::white);
  for (int y = 0; y < 13; ++y) {
    for (int x = 1; x < 14; ++x) {
      const bool frame = x == 1 || x == 13 || y == 0 || y == 12;
      const int shade = 250 - y * 3;  // from near white at the top to pale blue-grey
      image.setPixelColor(x, y, frame ? kAccent : QColor(shade - 12, shade - 6, shade));
    }
  }
  if (tick.isValid()) {
    static constexpr int kTick[][2] = {{4, 5}, {5, 6}, {6, 7}, {7, 6}, {8, 5}, {9, 4}, {10, 3}};
    for (const auto& point : kTick) {
      image.setPixelColor(point[0], point[1], tick);
      image.setPixelColor(point[0], point[1] + 1, tick);
      image.setPixelColor(point[0], point[1] + 2, tick);
    }
  }
  return image;
}

TPanelShape* MakeShape(QWidget* parent, const char* name, QRect geometry, QColor fill) {
  auto* shape = new TPanelShape(parent, fill, kAccent);
  shape->setObjectName(QString::fromLatin1(name));
  shape->setGeometry(geometry);
  return shape;
}

QLabel* MakeLabel(QWidget* parent, const char* name, int x, int y, bool bold) {
  auto* label = new QLabel(parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setFont(WindowFont(bold));
  label->move(x, y);
  return label;
}

TBitCheckBox* MakeCheckBox(QWidget* parent, const char* name, int x, int y) {
  static const QImage checked = Glyph(kAccent);
  static const QImage grayed = Glyph(kGrayedTick);
  static const QImage unchecked = Glyph(QColor());
  auto* box = new TBitCheckBox(parent);
  box->setObjectName(QString::fromLatin1(name));
  // As wide as the panel allows (one pixel short of its outline), so the longest captions keep
  // a margin.
  box->setGeometry(x, y, 273, 17);
  box->SetColor(kPanel);
  box->SetCheckedGlyph(checked);
  box->SetGrayedGlyph(grayed);
  box->SetUncheckedGlyph(unchecked);
  return box;
}

TSelButton* MakeButton(QWidget* parent, const char* name, QRect geometry, TAlignment alignment,
                       bool bold) {
  return MakeFlatButton(parent, name, geometry, alignment, WindowFont(bold));
}

QLineEdit* MakeResolutionEdit(QWidget* parent, const char* name, int x, int y) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setGeometry(x, y, 21, 13);
  edit->setFrame(false);
  edit->setFont(WindowFont(true));
  edit->setMaxLength(3);
  edit->setTextMargins(0, 0, 0, 0);
  QPalette edit_palette = edit->palette();
  edit_palette.setColor(QPalette::Base, kPanel);
  edit->setPalette(edit_palette);
  return edit;
}

bool IsInteger(const QString& text, int& value) {
  bool ok = false;
  value = text.toInt(&ok);
  return ok;
}

}  // namespace

QString CheckedResolutionText(const QString& text) {
  if (text.isEmpty()) return text;
  int value = 0;
  if (!IsInteger(text, value)) return QStringLiteral("1");
  if (value > 255) return QStringLiteral("255");
  if (value < 1) return QStringLiteral("1");
  return text;
}

QString FinalResolutionText(const QString& text, const QString& empty_default) {
  if (text.isEmpty()) return empty_default;
  int value = 0;
  if (!IsInteger(text, value)) return empty_default;
  if (value < 1) return QStringLiteral("1");
  if (value > 255) return QStringLiteral("255");
  return text;
}

TfrmOptions::TfrmOptions(QWidget* parent) : QDialog(parent, kDialogFlags) {
  PrepareWindow(this, "frmOptions", 590, 218);
  CentreAndDefaultOk(this);
  // Created in z-order: each panel under the controls it frames.
  CreatePackagePanels();
  CreateMidwayPanel();
  CreateCanvasPanel();
  CreateDragDropPanelAndButtons();
  ConnectControls();
  WindowFade = MakeWindowFade(this);

  const Settings defaults;
  edResW->setText(QString::number(defaults.ResW));
  edResH->setText(QString::number(defaults.ResH));
  ApplyLanguage(Language());
}

void TfrmOptions::CreatePackagePanels() {
  shpOptsJarBg = MakeShape(this, "shpOptsJarBg", {8, 8, 282, 68}, kPanel);
  lblOptsJar = MakeLabel(this, "lblOptsJar", 16, 14, true);
  cbBackup = MakeCheckBox(this, "cbBackup", 14, 33);
  cbNokia = MakeCheckBox(this, "cbNokia", 14, 53);

  shpOptsJadBg = MakeShape(this, "shpOptsJadBg", {299, 8, 282, 68}, kPanel);
  lblOptsJad = MakeLabel(this, "lblOptsJad", 307, 14, true);
  cbJad = MakeCheckBox(this, "cbJad", 306, 33);
  cbFilterAttr = MakeCheckBox(this, "cbFilterAttr", 306, 53);
}

void TfrmOptions::CreateMidwayPanel() {
  shpOptsMidwayBg = MakeShape(this, "shpOptsMidwayBg", {8, 85, 282, 68}, kPanel);
  lblOptsMidway = MakeLabel(this, "lblOptsMidway", 16, 91, true);
  cbAskMidway = MakeCheckBox(this, "cbAskMidway", 14, 110);
  btnMidway = MakeButton(this, "btnMidway", {8, 131, 282, 22}, taCenter, false);
}

void TfrmOptions::CreateCanvasPanel() {
  shpOptsCanvasBg = MakeShape(this, "shpOptsCanvasBg", {299, 85, 282, 68}, kPanel);
  lblOptsCanvas = MakeLabel(this, "lblOptsCanvas", 307, 91, true);
  lblCanvasW = MakeLabel(this, "lblCanvasW", 307, 110, false);
  edResW = MakeResolutionEdit(this, "edResW", 356, 110);
  shpCanvasWline = MakeShape(this, "shpCanvasWline", {355, 123, 22, 1}, kAccent);
  lblCanvasWp = MakeLabel(this, "lblCanvasWp", 381, 110, false);
  lblCanvasH = MakeLabel(this, "lblCanvasH", 307, 131, false);
  edResH = MakeResolutionEdit(this, "edResH", 356, 131);
  shpCanvasHline = MakeShape(this, "shpCanvasHline", {355, 144, 22, 1}, kAccent);
  lblCanvasHp = MakeLabel(this, "lblCanvasHp", 381, 131, false);
  shpCanvasBtnsLine = MakeShape(this, "shpCanvasBtnsLine", {515, 85, 1, 68}, kAccent);
  btnRes128x116 = MakeButton(this, "btnRes128x116", {521, 92, 54, 24}, taLeftJustify, false);
  btnRes128x116->SetCaption(QStringLiteral("128x116"));
  btnRes128x128 = MakeButton(this, "btnRes128x128", {521, 122, 54, 24}, taLeftJustify, false);
  btnRes128x128->SetCaption(QStringLiteral("128x128"));
}

void TfrmOptions::CreateDragDropPanelAndButtons() {
  shpDragDropBg = MakeShape(this, "shpDragDropBg", {8, 162, 282, 48}, kPanel);
  lblOptsDragDrop = MakeLabel(this, "lblOptsDragDrop", 16, 168, true);
  cbConfirmDrop = MakeCheckBox(this, "cbConfirmDrop", 14, 187);

  // The handset's key layout, above the buttons.
  lblHandsetKeys = MakeLabel(this, "lblHandsetKeys", 307, 166, false);
  cbHandsetKeys = new QComboBox(this);
  cbHandsetKeys->setObjectName(QStringLiteral("cbHandsetKeys"));
  cbHandsetKeys->setGeometry(475, 162, 106, 20);
  cbHandsetKeys->setFont(WindowFont(false));
  cbHandsetKeys->addItem(QStringLiteral("none"));
  for (const KeyLayout& layout : KnownKeyLayouts()) {
    cbHandsetKeys->addItem(QString::fromStdString(layout.name));
  }

  btnOk = MakeButton(this, "btnOk", {299, 188, 137, 22}, taCenter, true);
  btnCancel = MakeButton(this, "btnCancel", {444, 188, 137, 22}, taCenter, false);
}

void TfrmOptions::ConnectControls() {
  QWidget::setTabOrder(cbBackup, cbNokia);
  QWidget::setTabOrder(cbNokia, cbJad);
  QWidget::setTabOrder(cbJad, cbFilterAttr);
  QWidget::setTabOrder(cbFilterAttr, cbAskMidway);
  QWidget::setTabOrder(cbAskMidway, edResW);
  QWidget::setTabOrder(edResW, edResH);
  QWidget::setTabOrder(edResH, cbConfirmDrop);
  QWidget::setTabOrder(cbConfirmDrop, cbHandsetKeys);

  connect(edResW, &QLineEdit::textChanged, this, [this] { edResWChange(); });
  connect(edResH, &QLineEdit::textChanged, this, [this] { edResHChange(); });
  btnOk->OnClick = [this] { btnOkClick(); };
  btnCancel->OnClick = [this] { btnCancelClick(); };
  btnRes128x116->OnClick = [this] { btnRes128x116Click(); };
  btnRes128x128->OnClick = [this] { btnRes128x128Click(); };
  btnMidway->OnClick = [this] { btnMidwayClick(); };
}

void TfrmOptions::ApplyLanguage(const Language& texts) {
  for (const LanguageCaption& caption : kLanguageCaptions) {
    if (caption.window != LanguageWindow::kOptions) continue;
    const QString text = QString::fromStdString(CaptionText(caption, texts));
    if (caption.control == kWindowTitle) {
      setWindowTitle(text);
      continue;
    }
    QObject* control = findChild<QObject*>(
        QString::fromLatin1(caption.control.data(), static_cast<qsizetype>(caption.control.size())),
        Qt::FindDirectChildrenOnly);
    if (auto* button = qobject_cast<TSelButton*>(control)) {
      button->SetCaption(text);
    } else if (auto* box = qobject_cast<TBitCheckBox*>(control)) {
      box->SetCaption(text);
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
      label->setText(LabelText(text));
      label->adjustSize();
    }
  }
  auto q = [&texts](TextId id) { return QString::fromStdString(texts[id]); };
  midway_caption_ = btnMidway->Caption();
  midway_title_ = q(TextId::kMidwayDialogTitle);
  midway_filter_ = QStringLiteral("MIDway.exe (midway*.exe);;") + q(TextId::kProgramsFilter) +
                   QStringLiteral(" (*.exe);;") + q(TextId::kMidwayAllFilesFilter) +
                   QStringLiteral(" (*)");
  ShowMidwayPath();
}

void TfrmOptions::ShowMidwayPath() {
  if (midway_.empty()) {
    btnMidway->SetCaption(midway_caption_);
    btnMidway->SetHint(QString());
    return;
  }
  const QString path = QFile::decodeName(midway_.c_str());
  const QString full = midway_caption_ + QStringLiteral(": ") + QFileInfo(path).fileName();
  btnMidway->SetCaption(
      QFontMetrics(btnMidway->Font()).elidedText(full, Qt::ElideMiddle, btnMidway->width() - 12));
  btnMidway->SetHint(path);
}

bool TfrmOptions::Execute(Settings& settings) {
  Load(settings);
  if (exec() != QDialog::Accepted) return false;

  settings.Backup = cbBackup->Checked();
  settings.Nokia = cbNokia->Checked();
  settings.Jad = cbJad->Checked();
  settings.FilterAttr = cbFilterAttr->Checked();
  settings.AskMidway = cbAskMidway->Checked();
  settings.Midway = midway_;
  settings.ResW = edResW->text().toInt();
  settings.ResH = edResH->text().toInt();
  settings.ConfirmDrop = cbConfirmDrop->Checked();
  // Every item is a layout's name (or "none"), so it parses.
  settings.HandsetKeys = ParseKeyLayout(cbHandsetKeys->currentText().toStdString());
  return true;
}

void TfrmOptions::Load(const Settings& settings) {
  cbBackup->SetChecked(settings.Backup);
  cbNokia->SetChecked(settings.Nokia);
  cbJad->SetChecked(settings.Jad);
  cbFilterAttr->SetChecked(settings.FilterAttr);
  cbAskMidway->SetChecked(settings.AskMidway);
  midway_ = settings.Midway;
  ShowMidwayPath();
  // The change check runs on the whole number: the edit's length limit would cut "1000" to
  // "100" before the check could see it.
  edResW->setText(CheckedResolutionText(QString::number(settings.ResW)));
  edResH->setText(CheckedResolutionText(QString::number(settings.ResH)));
  cbConfirmDrop->SetChecked(settings.ConfirmDrop);
  // A custom layout, which only the settings file and korvel-patch write, is offered as it is.
  const QString keys = QString::fromStdString(KeyLayoutName(settings.HandsetKeys));
  if (cbHandsetKeys->findText(keys) < 0) cbHandsetKeys->addItem(keys);
  cbHandsetKeys->setCurrentText(keys);
}

void TfrmOptions::CheckResolutionEdit(QLineEdit* edit) {
  const QString checked = CheckedResolutionText(edit->text());
  if (checked != edit->text()) edit->setText(checked);
}

void TfrmOptions::edResWChange() {
  CheckResolutionEdit(edResW);
}

void TfrmOptions::edResHChange() {
  CheckResolutionEdit(edResH);
}

void TfrmOptions::btnOkClick() {
  edResW->setText(FinalResolutionText(edResW->text(), QStringLiteral("128")));
  edResH->setText(FinalResolutionText(edResH->text(), QStringLiteral("116")));
  accept();
}

void TfrmOptions::btnCancelClick() {
  reject();
}

void TfrmOptions::btnRes128x116Click() {
  edResW->setText(QStringLiteral("128"));
  edResH->setText(QStringLiteral("116"));
}

void TfrmOptions::btnRes128x128Click() {
  edResW->setText(QStringLiteral("128"));
  edResH->setText(QStringLiteral("128"));
}

void TfrmOptions::btnMidwayClick() {
  // The file dialog seam takes no initial file name.
  const QString chosen = Boxes::OpenFile(this, midway_title_, midway_filter_);
  if (chosen.isEmpty()) return;
  midway_ = QFile::encodeName(QFileInfo(chosen).absoluteFilePath()).toStdString();
  ShowMidwayPath();
}

TfrmOptions::Controls TfrmOptions::ControlsForTest() const {
  return {.cbBackup = cbBackup,
          .cbNokia = cbNokia,
          .cbJad = cbJad,
          .cbFilterAttr = cbFilterAttr,
          .cbAskMidway = cbAskMidway,
          .cbConfirmDrop = cbConfirmDrop,
          .lblOptsDragDrop = lblOptsDragDrop,
          .lblCanvasWp = lblCanvasWp,
          .lblCanvasHp = lblCanvasHp,
          .edResW = edResW,
          .edResH = edResH,
          .cbHandsetKeys = cbHandsetKeys,
          .btnMidway = btnMidway,
          .btnRes128x116 = btnRes128x116,
          .btnRes128x128 = btnRes128x128,
          .btnOk = btnOk,
          .btnCancel = btnCancel};
}

}  // namespace korvel
