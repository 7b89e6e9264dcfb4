// TfrmBatch: the batch dialog, adapting a list of JARs in one run.
#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "pipeline/JobReport.h"
#include "settings/Language.h"
#include "settings/Settings.h"

class QListWidget;
class QListWidgetItem;

namespace korvel {

class TAlphaShowHide;
class TjsCoolGauge;
class TPanelShape;
class TSelButton;

class TfrmBatch : public QDialog {
  Q_OBJECT
 public:
  // Runs the patch job on one file in batch mode (Interactive false); the main window's
  // ProcessJar. Its report is the file's entry in the list (the outcome's word and reason); an
  // error ends that file only, as failed with the error's text, and the run goes on.
  using ProcessJarFn = std::function<JobReport(const std::string& file_name, bool interactive)>;

  explicit TfrmBatch(QWidget* parent = nullptr);

  // Sets the captions this dialog takes from the Language table; the texts are also used for
  // its boxes, so the reference must stay valid.
  void ApplyLanguage(const Language& texts);

  // Shows the dialog modally; `settings` is read for ConfirmDrop.
  void Execute(const Settings& settings, ProcessJarFn process_jar);

  // The per-file gauge gFile, set by the job in batch mode (through the main window's sink).
  void SetFileGauge(int percent);

  // True while a run is going.
  bool Running() const { return running_; }

  // --- Event handlers (the buttons' OnClick) ---------------------------------------------------
  void btnAddClick();
  void btnDelClick();
  void btnClearClick();
  void btnStartClick();
  void btnCancelClick();
  // Paths dropped on the dialog, in the order the desktop gave them.
  void FilesDropped(const std::vector<std::string>& paths);

  // --- Test hooks --------------------------------------------------------------------------
  // The controls the tests drive and read, by their design names.
  struct Controls {
    TSelButton* btnAdd;
    TSelButton* btnDel;
    TSelButton* btnClear;
    QListWidget* lbFiles;
    TjsCoolGauge* gFile;
    TjsCoolGauge* gBatch;
    TSelButton* btnStart;
    TSelButton* btnCancel;
  };
  Controls ControlsForTest() const;

 public slots:
  // Escape: closes like the close button when idle; ignored during a run, whose stop is the
  // close button's.
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // --- Controls (children of this dialog) ------------------------------------------------------
  TPanelShape* shpFilesBg = nullptr;
  TSelButton* btnAdd = nullptr;
  TSelButton* btnDel = nullptr;
  TSelButton* btnClear = nullptr;
  QListWidget* lbFiles = nullptr;
  TPanelShape* shpStatBg = nullptr;
  TPanelShape* shpGFileBrdr = nullptr;
  TjsCoolGauge* gFile = nullptr;
  TPanelShape* shpGBatchBrdr = nullptr;
  TjsCoolGauge* gBatch = nullptr;
  TSelButton* btnStart = nullptr;
  TSelButton* btnCancel = nullptr;
  TAlphaShowHide* WindowFade = nullptr;

  const Language& Texts() const { return *texts_; }
  void AddEntry(const QString& path);
  void SetResult(QListWidgetItem* item, const JobReport& report);
  // The steps of a run: the entries without a result, one entry's job (its result shown in
  // the entry), and the box that counts the outcomes.
  std::vector<QListWidgetItem*> PendingEntries() const;
  JobOutcome RunEntry(QListWidgetItem* item);
  void ShowCounts(int adapted, int failed, int skipped);
  void ResetGauges();
  void FinishRun();

  const Language* texts_;
  bool confirm_drop_ = true;
  ProcessJarFn process_jar_;
  bool running_ = false;
  bool stop_ = false;
  bool close_after_run_ = false;
};

}  // namespace korvel
