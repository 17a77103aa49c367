#include "app/qt/message_dialog.h"

#include "app/look.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QListWidget>
#include <QScreen>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {

namespace look = enlazor::look;

QString Q(const std::string& utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

QRect ScreenArea(const QWidget* widget) {
  const QScreen* screen = widget && widget->screen() ? widget->screen() : QGuiApplication::primaryScreen();
  return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

QPushButton* AddButton(QHBoxLayout* row, const char* caption) {
  auto* button = new QPushButton(QString::fromUtf8(caption));
  button->setAutoDefault(false);
  row->addWidget(button);
  return button;
}

// A text that wraps at half the screen's width, as the message box's texts do.
QLabel* WrappedText(const std::string& text, const QRect& screen) {
  auto* label = new QLabel(Q(text));
  label->setWordWrap(true);
  label->setMaximumWidth(screen.width() / 2);
  return label;
}

// A list as wide as its longest line and up to twenty lines high, within the screen.
QSize ListSize(const QPlainTextEdit* list, const QString& text, const QRect& screen) {
  int longest = 0, lines = 0;
  for (const QString& line : text.split('\n')) {
    longest = std::max(longest, list->fontMetrics().horizontalAdvance(line));
    ++lines;
  }
  const int chrome = 2 * (list->frameWidth() + static_cast<int>(list->document()->documentMargin())) +
                     list->verticalScrollBar()->sizeHint().width() + 4;
  const int height = std::min(lines, 20) * list->fontMetrics().lineSpacing() + chrome;
  return {std::min(longest + chrome, screen.width() - 64), std::min(height, screen.height() / 2)};
}

}  // namespace

MessageDialog::MessageDialog(QWidget* owner, const QString& title, const enlazor::Message& message) : QDialog(owner) {
  setWindowTitle(title);
  setSizeGripEnabled(true);
  const QRect screen = ScreenArea(owner);
  auto* layout = new QVBoxLayout(this);
  Text = WrappedText(message.text, screen);
  Text->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(Text);
  Summary = WrappedText(message.summary, screen);
  Summary->setVisible(!message.summary.empty());
  layout->addWidget(Summary);
  Details = new QPlainTextEdit(Q(message.details));
  Details->setReadOnly(true);
  Details->setLineWrapMode(QPlainTextEdit::NoWrap);
  Details->setMinimumSize(ListSize(Details, Details->toPlainText(), screen));
  Details->setVisible(false);
  layout->addWidget(Details, 1);
  auto* row = new QHBoxLayout;
  if (!message.extraButton.empty()) {
    Extra = AddButton(row, message.extraButton.c_str());
    connect(Extra, &QPushButton::clicked, this, [this] {
      extraPressed_ = true;
      accept();
    });
  }
  if (!message.details.empty()) {
    DetailsButton = AddButton(row, look::kShowDetails);
    connect(DetailsButton, &QPushButton::clicked, this, &MessageDialog::ToggleDetails);
  }
  row->addStretch(1);
  Ok = AddButton(row, look::kOk);
  Ok->setDefault(true);
  connect(Ok, &QPushButton::clicked, this, &QDialog::accept);
  layout->addLayout(row);
  Ok->setFocus();
}

void MessageDialog::ToggleDetails() {
  const bool show = !Details->isVisible();
  Details->setVisible(show);
  DetailsButton->setText(show ? look::kHideDetails : look::kShowDetails);
  // The list fits its lines again whenever it is shown; the user may make it larger.
  if (!show) {
    setMinimumHeight(0);
    return resize(sizeHint());
  }
  const int margins = layout()->contentsMargins().left() + layout()->contentsMargins().right();
  const int wide = std::max(width(), Details->minimumWidth() + margins);
  const QSize client(wide, HeightWithDetails(wide - margins));
  setMinimumHeight(client.height());
  KeepOnScreen(client);
  resize(client);
}

// The height the box needs with its list shown, its texts being that wide at most.
int MessageDialog::HeightWithDetails(int textWidth) {
  // Qt counts a wrapped text's lines at the box's width, not at the narrower
  // width the text is held to: each text asks for its own lines' height, so
  // the list stays above the buttons, also when the user makes the box smaller.
  for (QLabel* label : {Text, Summary})
    label->setMinimumHeight(label->heightForWidth(std::min(label->maximumWidth(), textWidth)));
  layout()->activate();
  const int high = layout()->totalMinimumSize().height();
  // On a short screen the list gives up lines, down to three, before the box leaves it.
  const int room = ScreenArea(this).height() - (frameGeometry().height() - height());
  if (high <= room) return high;
  const int fewest = 3 * Details->fontMetrics().lineSpacing();
  Details->setMinimumHeight(std::max(fewest, Details->minimumHeight() - (high - room)));
  layout()->activate();
  return layout()->totalMinimumSize().height();
}

// A box that grows to that client size stays whole on its screen, as far as it fits.
void MessageDialog::KeepOnScreen(QSize client) {
  const QRect area = ScreenArea(this);
  const QSize frame = client + (frameGeometry().size() - size());
  const QPoint at = frameGeometry().topLeft();
  const int x = std::max(area.left(), std::min(at.x(), area.right() + 1 - frame.width()));
  const int y = std::max(area.top(), std::min(at.y(), area.bottom() + 1 - frame.height()));
  if (x != at.x() || y != at.y()) move(x, y);
}

CopyChooser::CopyChooser(QWidget* owner, const QString& title, const std::vector<std::string>& copies)
    : QDialog(owner), list_(new QListWidget) {
  setWindowTitle(title);
  setSizeGripEnabled(true);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(Q(look::kChooseCopy)));
  int widest = 0;
  for (const auto& line : copies) {
    list_->addItem(Q(line));
    widest = std::max(widest, list_->fontMetrics().horizontalAdvance(Q(line)));
  }
  list_->setCurrentRow(0);
  list_->setMinimumWidth(std::min(widest + 48, ScreenArea(owner).width() - 64));
  connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
  layout->addWidget(list_, 1);
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  QPushButton* ok = AddButton(row, look::kOk);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(AddButton(row, look::kCancel), &QPushButton::clicked, this, &QDialog::reject);
  layout->addLayout(row);
}

std::optional<size_t> CopyChooser::Chosen() const {
  if (list_->currentRow() < 0) return std::nullopt;
  return static_cast<size_t>(list_->currentRow());
}
