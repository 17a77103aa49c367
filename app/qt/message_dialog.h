// The window's message box in Qt: modal, titled with the application title,
// the text wrapped at half the screen's width, one "Aceptar" button that
// Enter and Escape press, and, when the command can be undone, one button
// more. With findings, a summary line and a "Detalles" button that shows their
// list as wide as its lines need, up to the screen. It can be resized.
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
  void ToggleDetails();
  int HeightWithDetails(int textWidth);
  void KeepOnScreen(QSize client);
  bool extraPressed_ = false;
};

// The kept copies, one per line, to choose one from.
class CopyChooser : public QDialog {
  Q_OBJECT

 public:
  CopyChooser(QWidget* owner, const QString& title, const std::vector<std::string>& copies);
  std::optional<size_t> Chosen() const;

 private:
  class QListWidget* list_;
};
