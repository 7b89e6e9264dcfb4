// TfrmAbout: the About box.
#include "ui/AboutDialog.h"

#include <QLabel>
#include <algorithm>

#include "ui/Look.h"
#include "ui/MainShape.h"
#include "ui/controls/ControlTypes.h"
#include "ui/controls/FlatButton.h"
#include "ui/controls/WindowFade.h"

namespace korvel {

namespace {

QFont BoxFont(int points, bool bold) {
  QFont font(QStringLiteral("Verdana"));
  font.setPointSize(points);
  font.setBold(bold);
  return font;
}

}  // namespace

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent, kDialogFlags) {
  PrepareWindow(this, "frmAbout", 297, 137);
  CentreAndDefaultOk(this);
  setFont(BoxFont(8, false));

  shpBg = new TPanelShape(this, kPanel, kAccent);
  shpBg->setObjectName(QStringLiteral("shpBg"));
  shpBg->setGeometry(8, 8, 281, 96);

  auto label = [this](const char* name, const char* text, int x, int y, const QFont& font) {
    auto* label = new QLabel(QString::fromUtf8(text), this);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);  // plain labels, never links
    label->setFont(font);
    label->move(x, y);
    label->adjustSize();
    return label;
  };
  lblName1 = label("lblName1", kAboutNameFirst, 18, 16, BoxFont(10, false));
  lblName2 = label("lblName2", kAboutNameSecond, 47, 16, BoxFont(10, true));
  lblEdition = label("lblEdition", kAboutEdition, 114, 18, BoxFont(8, false));
  lblCommunity = label("lblCommunity", "", 31, 33, BoxFont(8, false));
  lblAuthorCapt = label("lblAuthorCapt", "", 18, 57, BoxFont(8, false));
  lblAuthor = label("lblAuthor", kAboutAuthor, 94, 57, BoxFont(8, false));
  lblEditorCapt = label("lblEditorCapt", "", 18, 80, BoxFont(8, false));
  lblEditor = label("lblEditor", kAboutEditor, 135, 80, BoxFont(8, false));

  btnOk = MakeFlatButton(this, "btnOk", QRect(197, 110, 92, 20), taCenter, BoxFont(8, true));
  btnOk->SetCaption(QStringLiteral("Ok"));
  btnOk->OnClick = [this] { btnOkClick(); };

  WindowFade = MakeWindowFade(this);
  ApplyLanguage(Language());
}

void TfrmAbout::ApplyLanguage(const Language& texts) {
  auto set = [](QLabel* label, const std::string& text) {
    label->setText(QString::fromStdString(text));
    label->adjustSize();
  };
  setWindowTitle(QString::fromStdString(texts[TextId::kAboutCaption]));
  set(lblCommunity, texts[TextId::kAboutCommunity]);
  set(lblAuthorCapt, texts[TextId::kAboutAuthor]);
  set(lblEditorCapt, texts[TextId::kAboutEditor]);
  // The values keep their places unless a caption reaches them.
  lblAuthor->move(std::max(94, lblAuthorCapt->geometry().right() + 5), lblAuthor->y());
  lblEditor->move(std::max(135, lblEditorCapt->geometry().right() + 5), lblEditor->y());
}

void TfrmAbout::btnOkClick() {
  accept();
}

TfrmAbout::Controls TfrmAbout::ControlsForTest() const {
  return {.lblName1 = lblName1,
          .lblName2 = lblName2,
          .lblAuthor = lblAuthor,
          .lblAuthorCapt = lblAuthorCapt,
          .btnOk = btnOk};
}

}  // namespace korvel
