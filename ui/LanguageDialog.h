// TfrmLang: the language selection dialog.
#pragma once

#include <QDialog>
#include <optional>
#include <string>
#include <vector>

#include "search/EasyFileSearch.h"

class QLabel;
class QListWidget;

namespace korvel {

class TAlphaShowHide;
class TPanelShape;
class TSelButton;

// At most this many language files are listed, after "<Default>".
inline constexpr int kMaxLanguageFiles = 64;
inline constexpr const char* kNothingSelectedText = "Nothing selected!";

class TfrmLang : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmLang(QWidget* parent = nullptr);

  // Lists "<Default>" and the language files of `language_dirs` (in folder order) by their
  // Display names, marks `current_lang_file` as the current language and shows the dialog
  // modally. Returns the chosen path ("" for the built-in texts) on OK, nothing on Cancel.
  //
  // A chosen file comes back as its full path: its folder, a separator and the file name. A
  // relative `current_lang_file` is taken from the first folder that has it.
  std::optional<std::string> Execute(const std::vector<std::string>& language_dirs,
                                     const std::string& current_lang_file);

  // Fills the list and the current language as a showing does (Execute's first part).
  void FillList(const std::vector<std::string>& language_dirs,
                const std::string& current_lang_file);

  // The path of list entry `index` ("" for "<Default>").
  const std::string& LanguagePath(int index) const { return paths_.at(index); }

  // --- Event handlers ----------------------------------------------------------------------
  void btnOkClick();
  void btnCancelClick();

  // --- Test hooks --------------------------------------------------------------------------
  // The controls the tests drive and read, by their design names.
  struct Controls {
    QListWidget* lbLang;
    QLabel* lblCurLang;
    TSelButton* btnOk;
    TSelButton* btnCancel;
  };
  Controls ControlsForTest() const;

 private:
  // --- Controls and components ------------------------------------------------------------------
  TPanelShape* shpBg = nullptr;
  QLabel* lblSelectLang = nullptr;
  TPanelShape* shpListBorder = nullptr;
  QListWidget* lbLang = nullptr;
  QLabel* lblCurLangCapt = nullptr;
  QLabel* lblCurLang = nullptr;
  TSelButton* btnOk = nullptr;
  TSelButton* btnCancel = nullptr;
  TAlphaShowHide* WindowFade = nullptr;
  TEasyFileSearch fSe;

  int SelectedIndex() const;

  // Entry i of lbLang belongs to paths_[i]; paths_[0] is "".
  std::vector<std::string> paths_;
};

}  // namespace korvel
