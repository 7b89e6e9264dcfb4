// TfrmLang: the language selection dialog.
#include "ui/LanguageDialog.h"

#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QStyledItemDelegate>
#include <algorithm>

#include "platform/Files.h"
#include "settings/Language.h"
#include "settings/Locations.h"
#include "ui/Boxes.h"
#include "ui/Look.h"
#include "ui/MainShape.h"
#include "ui/controls/ControlTypes.h"
#include "ui/controls/FlatButton.h"
#include "ui/controls/WindowFade.h"

namespace korvel {

namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

std::string WithSeparator(std::string folder) {
  if (folder.empty() || folder.back() != platform::kPathSeparator) {
    folder += platform::kPathSeparator;
  }
  return folder;
}

// A label of the dialog, as wide as its text.
QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, QPoint pos, bool bold) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setFont(WindowFont(bold));
  label->move(pos);
  label->adjustSize();
  return label;
}

// A command of the dialog: its caption is fixed, whatever the program's language.
TSelButton* MakeButton(QWidget* parent, const char* name, const QString& caption, QRect geometry,
                       bool bold) {
  TSelButton* button = MakeFlatButton(parent, name, geometry, taCenter, WindowFont(bold));
  button->SetCaption(caption);
  return button;
}

}  // namespace

TfrmLang::TfrmLang(QWidget* parent) : QDialog(parent, kDialogFlags) {
  setWindowTitle(QStringLiteral("Language"));
  PrepareWindow(this, "frmLang", 443, 218);
  CentreAndDefaultOk(this);

  shpBg = new TPanelShape(this, kPanel, kAccent);
  shpBg->setObjectName(QStringLiteral("shpBg"));
  shpBg->setGeometry(8, 8, 426, 172);
  lblSelectLang =
      MakeLabel(this, "lblSelectLang", QStringLiteral("Select language:"), {16, 14}, true);
  // An outline on the panel: its inside is the panel's colour.
  shpListBorder = new TPanelShape(this, kPanel, kAccent);
  shpListBorder->setObjectName(QStringLiteral("shpListBorder"));
  shpListBorder->setGeometry(15, 33, 411, 122);

  lbLang = new QListWidget(this);
  lbLang->setObjectName(QStringLiteral("lbLang"));
  lbLang->setGeometry(19, 38, 402, 113);
  lbLang->setFrameShape(QFrame::NoFrame);
  lbLang->setSelectionMode(QAbstractItemView::SingleSelection);
  lbLang->setUniformItemSizes(true);
  lbLang->setItemDelegate(new FixedItemHeightDelegate(14, lbLang));
  QPalette list_palette = lbLang->palette();
  list_palette.setColor(QPalette::Base, kPanel);
  lbLang->setPalette(list_palette);

  lblCurLangCapt =
      MakeLabel(this, "lblCurLangCapt", QStringLiteral("Current language:"), {16, 160}, true);
  lblCurLang =
      MakeLabel(this, "lblCurLang", Q(std::string(kDefaultLanguageName)), {123, 160}, false);
  lblCurLang->resize(304, lblCurLang->height());

  btnOk = MakeButton(this, "btnOk", QStringLiteral("Ok"), {205, 188, 110, 22}, true);
  btnCancel = MakeButton(this, "btnCancel", QStringLiteral("Cancel"), {324, 188, 110, 22}, false);
  btnOk->OnClick = [this] { btnOkClick(); };
  btnCancel->OnClick = [this] { btnCancelClick(); };

  WindowFade = MakeWindowFade(this);

  // One folder, every kind of file, no date or size filter.
  fSe.SetSearchOptions(TOptions::All().Exclude(okIncludeSubfolder).Exclude(okLookForDirectory));
  fSe.SetFilterKind(TFilter());
  fSe.SetFileNames({"*.lng"});

  paths_.push_back(std::string());
  lbLang->addItem(Q(std::string(kDefaultLanguageName)));
}

void TfrmLang::FillList(const std::vector<std::string>& language_dirs,
                        const std::string& current_lang_file) {
  const std::string current = ResolveLanguageFile(language_dirs, current_lang_file);
  lblCurLang->setText(Q(LanguageDisplayName(current)));

  paths_.assign(1, std::string());
  lbLang->clear();
  lbLang->addItem(Q(std::string(kDefaultLanguageName)));

  fSe.OnFileFound = [this](const TFileInformations& file) {
    if (static_cast<int>(paths_.size()) > kMaxLanguageFiles) return;
    const std::string path = file.Path + file.Name;
    paths_.push_back(path);
    lbLang->addItem(Q(LanguageDisplayName(path)));
  };
  for (const std::string& folder : language_dirs) {
    fSe.SetRootPath(WithSeparator(folder));
    fSe.Search();
  }
  fSe.OnFileFound = nullptr;

  // Every showing starts with the current language selected (none when it is not listed), so
  // OK as it opens keeps what the dialog shows as current.
  lbLang->clearSelection();
  const auto found = std::find(paths_.begin(), paths_.end(), current);
  if (found != paths_.end()) {
    lbLang->setCurrentRow(static_cast<int>(found - paths_.begin()));
  } else {
    lbLang->setCurrentRow(-1, QItemSelectionModel::NoUpdate);
  }
}

std::optional<std::string> TfrmLang::Execute(const std::vector<std::string>& language_dirs,
                                             const std::string& current_lang_file) {
  FillList(language_dirs, current_lang_file);
  if (exec() != QDialog::Accepted) return std::nullopt;
  const int index = SelectedIndex();
  if (index < 0) return std::nullopt;
  return paths_.at(index);
}

int TfrmLang::SelectedIndex() const {
  // The entry drawn as current counts as chosen even when the list has not selected it (the
  // list makes its first entry current when it takes the focus).
  const QList<QListWidgetItem*> selected = lbLang->selectedItems();
  const int row = selected.isEmpty() ? lbLang->currentRow() : lbLang->row(selected.front());
  return row >= 0 && row < static_cast<int>(paths_.size()) ? row : -1;
}

void TfrmLang::btnOkClick() {
  if (SelectedIndex() < 0) {
    Boxes::Show(this, BoxKind::kError, QString::fromLatin1(kNothingSelectedText));
    return;
  }
  accept();
}

void TfrmLang::btnCancelClick() {
  reject();
}

TfrmLang::Controls TfrmLang::ControlsForTest() const {
  return {.lbLang = lbLang, .lblCurLang = lblCurLang, .btnOk = btnOk, .btnCancel = btnCancel};
}

}  // namespace korvel
