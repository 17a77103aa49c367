// The user-interface services the two commands use: the file choice, the
// message box, the busy cursor and the default error report. The window takes
// them from whoever creates it, so that tests can script the user's answers.
#pragma once

#include <QString>
#include <QWidget>
#include <optional>

class UiServices {
 public:
  virtual ~UiServices() = default;
  // OpenDialogXML: the confirmed path, or nothing when the user cancels.
  virtual std::optional<QString> ChooseFile(const QString& lastChoice) = 0;
  virtual void ShowMessage(const QString& text) = 0;
  // The default error report, for a failure that ended a run.
  virtual void ReportError(const QString& text) = 0;
  virtual void SetBusy(bool busy) = 0;
};

// The real ones: Qt's dialogs and the application-wide cursor.
class QtUiServices : public UiServices {
 public:
  explicit QtUiServices(QWidget* owner) : owner_(owner) {}
  std::optional<QString> ChooseFile(const QString& lastChoice) override;
  void ShowMessage(const QString& text) override;
  void ReportError(const QString& text) override;
  void SetBusy(bool busy) override;

 private:
  QWidget* owner_;
};

// The executable's name without folder and without everything from its first
// "."; the first character keeps its case, the rest go to lower case.
QString ApplicationTitle(const QString& executablePath);
// A failure's message as the error report shows it: a full stop is added when
// the message is not empty and ends in a character above ".".
QString WithFullStop(const QString& message);
