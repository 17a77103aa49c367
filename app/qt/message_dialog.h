// The window's message box in Qt: modal, titled with the application title,
// the text wrapped at half the screen's width, one "Aceptar" button that
// Enter and Escape press, and one button more when the command offers one
// ("Deshacer", "Mostrar el archivo"). With findings, a summary line and a
// "Detalles" button that shows their list as wide as its lines need, up to
// the screen, longer lines wrapped. It can be resized; it stands centred on
// the main window and whole on the screen (app/box_layout.h has the rules).
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/flows.h"

class MessageDialog : public QDialog {
  Q_OBJECT

 public:
  MessageDialog(QWidget* owner, const QString& title, const enlazor::Message& message);
  bool ExtraPressed() const { return extraPressed_; }

  QLabel* Text = nullptr;
  QLabel* Summary = nullptr;
  QPlainTextEdit* Details = nullptr;
  QPushButton *Ok = nullptr, *DetailsButton = nullptr, *Extra = nullptr;

 private:
  void showEvent(QShowEvent* event) override;
  void ToggleDetails();
  void FillDetails(const std::string& details, const QRect& screen);
  QWidget* owner_;
  bool extraPressed_ = false;
};

// The kept copies, one per line, to choose one from.
class CopyChooser : public QDialog {
  Q_OBJECT

 public:
  CopyChooser(QWidget* owner, const QString& title, const std::vector<std::string>& copies);
  std::optional<size_t> Chosen() const;

 private:
  void showEvent(QShowEvent* event) override;
  QWidget* owner_;
  class QListWidget* list_;
};
