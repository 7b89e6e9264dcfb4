// TfrmAbout: the About box.
#pragma once

#include <QDialog>

class QLabel;

namespace korvel {

class TAlphaShowHide;
class TPanelShape;
class TSelButton;

// The fixed texts of the box.
inline constexpr const char* kAboutTitle = "О Korvel";
inline constexpr const char* kAboutNameFirst = "Korv";
inline constexpr const char* kAboutNameSecond = "el";
inline constexpr const char* kAboutEdition = "v0.1";
inline constexpr const char* kAboutCommunity = "Для владельцев телефонов Virel";
inline constexpr const char* kAboutAuthor = "the Korvel developers";
inline constexpr const char* kAboutEditor = "the Korvel developers";

class TfrmAbout : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmAbout(QWidget* parent = nullptr);

  void btnOkClick();

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
  TAlphaShowHide* AlphaShowHide = nullptr;
};

}  // namespace korvel
