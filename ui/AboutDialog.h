// TfrmAbout: the About box.
#pragma once

#include <QDialog>

#include "settings/Language.h"

class QLabel;

namespace korvel {

class TAlphaShowHide;
class TPanelShape;
class TSelButton;

// The texts of the box that no language changes (the others come from the Language table).
inline constexpr const char* kAboutNameFirst = "Korv";
inline constexpr const char* kAboutNameSecond = "el";
inline constexpr const char* kAboutEdition = "v0.1";
inline constexpr const char* kAboutAuthor = "the Korvel developers";
inline constexpr const char* kAboutEditor = "the Korvel developers";

class TfrmAbout : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmAbout(QWidget* parent = nullptr);

  // The title, the community line and the two line captions in the current language; a longer
  // caption moves its value to the right.
  void ApplyLanguage(const Language& texts);

  void btnOkClick();

  // --- Test hooks --------------------------------------------------------------------------
  // The controls the tests drive and read, by their design names.
  struct Controls {
    QLabel* lblName1;
    QLabel* lblName2;
    QLabel* lblAuthor;
    QLabel* lblAuthorCapt;
    TSelButton* btnOk;
  };
  Controls ControlsForTest() const;

 private:
  // --- Controls (children of this dialog) ------------------------------------------------------
  TPanelShape* shpBg = nullptr;
  QLabel* lblName1 = nullptr;
  QLabel* lblName2 = nullptr;
  QLabel* lblEdition = nullptr;
  QLabel* lblCommunity = nullptr;
  QLabel* lblAuthorCapt = nullptr;
  QLabel* lblAuthor = nullptr;
  QLabel* lblEditorCapt = nullptr;
  QLabel* lblEditor = nullptr;
  TSelButton* btnOk = nullptr;
  TAlphaShowHide* WindowFade = nullptr;
};

}  // namespace korvel
