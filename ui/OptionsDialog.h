// TfrmOptions: the Options dialog, editing the settings but the language file.
#pragma once

#include <QDialog>
#include <QString>
#include <string>

#include "settings/Language.h"
#include "settings/Settings.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace korvel {

class TAlphaShowHide;
class TBitCheckBox;
class TPanelShape;
class TSelButton;

// What the change check of a resolution edit makes of `text`: empty stays empty, above 255
// gives "255", below 1 or not an integer gives "1", anything else stays as it is.
QString CheckedResolutionText(const QString& text);
// What OK makes of a resolution edit's text, with `empty_default` for an empty one: below 1
// gives "1", above 255 "255", not an integer `empty_default`.
QString FinalResolutionText(const QString& text, const QString& empty_default);

class TfrmOptions : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmOptions(QWidget* parent = nullptr);

  // Sets the captions this dialog takes from the Language table, and the texts of its file
  // dialog.
  void ApplyLanguage(const Language& texts);

  // The Options exchange: fills the controls from `settings`, shows the dialog modally and, only
  // when it ends with OK, copies the values back. True on OK.
  bool Execute(Settings& settings);
  // Fills the controls from `settings` as a showing does (Execute's first part).
  void Load(const Settings& settings);

  // The upload tool path the dialog holds until OK.
  const std::string& MidwayPath() const { return midway_; }

  // --- Event handlers ----------------------------------------------------------------------
  void edResWChange();
  void edResHChange();
  void btnOkClick();
  void btnCancelClick();
  void btnRes128x116Click();
  void btnRes128x128Click();
  void btnMidwayClick();

  // --- Test hooks --------------------------------------------------------------------------
  // The controls the tests drive and read, by their design names.
  struct Controls {
    TBitCheckBox* cbBackup;
    TBitCheckBox* cbNokia;
    TBitCheckBox* cbJad;
    TBitCheckBox* cbFilterAttr;
    TBitCheckBox* cbAskMidway;
    TBitCheckBox* cbConfirmDrop;
    QLabel* lblOptsDragDrop;
    QLabel* lblCanvasWp;
    QLabel* lblCanvasHp;
    QLineEdit* edResW;
    QLineEdit* edResH;
    QComboBox* cbHandsetKeys;
    TSelButton* btnMidway;
    TSelButton* btnRes128x116;
    TSelButton* btnRes128x128;
    TSelButton* btnOk;
    TSelButton* btnCancel;
  };
  Controls ControlsForTest() const;

 private:
  // The constructor's steps, in z-order, and the handlers and Tab order of the controls.
  void CreatePackagePanels();
  void CreateMidwayPanel();
  void CreateCanvasPanel();
  void CreateDragDropPanelAndButtons();
  void ConnectControls();

  // --- Controls (children of this dialog) ------------------------------------------------------
  TPanelShape* shpOptsJarBg = nullptr;
  QLabel* lblOptsJar = nullptr;
  TBitCheckBox* cbBackup = nullptr;
  TBitCheckBox* cbNokia = nullptr;
  TPanelShape* shpOptsJadBg = nullptr;
  QLabel* lblOptsJad = nullptr;
  TBitCheckBox* cbJad = nullptr;
  TBitCheckBox* cbFilterAttr = nullptr;
  TPanelShape* shpOptsMidwayBg = nullptr;
  QLabel* lblOptsMidway = nullptr;
  TBitCheckBox* cbAskMidway = nullptr;
  TSelButton* btnMidway = nullptr;
  TPanelShape* shpOptsCanvasBg = nullptr;
  QLabel* lblOptsCanvas = nullptr;
  QLabel* lblCanvasW = nullptr;
  QLineEdit* edResW = nullptr;
  TPanelShape* shpCanvasWline = nullptr;
  QLabel* lblCanvasWp = nullptr;
  QLabel* lblCanvasH = nullptr;
  QLineEdit* edResH = nullptr;
  TPanelShape* shpCanvasHline = nullptr;
  QLabel* lblCanvasHp = nullptr;
  TPanelShape* shpCanvasBtnsLine = nullptr;
  TSelButton* btnRes128x116 = nullptr;
  TSelButton* btnRes128x128 = nullptr;
  TPanelShape* shpDragDropBg = nullptr;
  QLabel* lblOptsDragDrop = nullptr;
  TBitCheckBox* cbConfirmDrop = nullptr;
  QLabel* lblHandsetKeys = nullptr;
  QComboBox* cbHandsetKeys = nullptr;  // the handset's key layout
  TSelButton* btnOk = nullptr;
  TSelButton* btnCancel = nullptr;
  TAlphaShowHide* WindowFade = nullptr;

  static void CheckResolutionEdit(QLineEdit* edit);
  // The upload tool button names the chosen tool after its caption (the whole path in its hint).
  void ShowMidwayPath();

  std::string midway_;
  QString midway_caption_;
  QString midway_title_;
  QString midway_filter_;
};

}  // namespace korvel
