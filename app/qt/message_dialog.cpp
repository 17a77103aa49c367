#include "app/qt/message_dialog.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QListWidget>
#include <QScreen>
#include <QScrollBar>
#include <QShowEvent>
#include <QVBoxLayout>
#include <climits>

#include "app/box_layout.h"
#include "app/look.h"

namespace {

namespace look = enlazor::look;

QString Q(const std::string& utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

QRect ScreenArea(const QWidget* widget) {
  const QScreen* screen = widget && widget->screen() ? widget->screen() : QGuiApplication::primaryScreen();
  return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

look::Rect R(const QRect& r) { return {r.x(), r.y(), r.width(), r.height()}; }

look::Measure MeasureWith(const QFontMetrics& metrics) {
  return [metrics](std::string_view text) {
    return metrics.horizontalAdvance(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  };
}

QPushButton* AddButton(QHBoxLayout* row, const char* caption) {
  auto* button = new QPushButton(QString::fromUtf8(caption));
  button->setAutoDefault(false);
  row->addWidget(button);
  return button;
}

// A text wrapped as the box's texts are, at half the screen's width, paths at their separators.
QLabel* WrappedText(const std::string& text, const QRect& screen) {
  auto* label = new QLabel;
  label->setText(Q(look::Wrapped(text, look::TextWidthLimit(R(screen)), MeasureWith(label->fontMetrics()))));
  return label;
}

// Where the box stands: centred on the main window, whole within the screen's work area.
void Centre(QWidget* box, const QWidget* owner) {
  const QRect frame = box->frameGeometry();
  const QRect area = ScreenArea(box);
  const QRect over = owner && owner->isVisible() ? owner->window()->frameGeometry() : area;
  const look::Rect at = look::PlaceBox(R(over), R(area), frame.width(), frame.height());
  if (at.width < frame.width() || at.height < frame.height()) {
    box->resize(box->size() - QSize(frame.width() - at.width, frame.height() - at.height));
  }
  box->move(at.left, at.top);
}

}  // namespace

MessageDialog::MessageDialog(QWidget* owner, const QString& title, const enlazor::Message& message)
    : QDialog(owner), owner_(owner) {
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
  Details = new QPlainTextEdit;
  Details->setReadOnly(true);
  Details->setLineWrapMode(QPlainTextEdit::NoWrap);
  Details->setVisible(false);
  layout->addWidget(Details, 1);
  FillDetails(message.details, screen);
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

// The findings as wide as their widest line, up to what the screen leaves;
// a line longer than that wraps, so no line hides past the list's edge.
void MessageDialog::FillDetails(const std::string& details, const QRect& screen) {
  const int chrome = 2 * (Details->frameWidth() + static_cast<int>(Details->document()->documentMargin())) +
                     Details->verticalScrollBar()->sizeHint().width() + 4;
  const auto measure = MeasureWith(Details->fontMetrics());
  int widest = 0, lines = 0;
  for (const auto& line : look::WrapLines(details, INT_MAX, measure)) {
    widest = std::max(widest, measure(line));
    ++lines;
  }
  const int around = 2 * (layout()->contentsMargins().left() + 16);  // the box's margins and its frame
  const look::ListSize size =
      look::DetailsListSize(widest, lines, Details->fontMetrics().lineSpacing(), chrome, R(screen), around);
  Details->setPlainText(Q(look::Wrapped(details, size.width - chrome, measure)));
  Details->setMinimumSize(size.width, size.height);
}

void MessageDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  Centre(this, owner_);
}

void MessageDialog::ToggleDetails() {
  const bool show = !Details->isVisible();
  Details->setVisible(show);
  DetailsButton->setText(show ? look::kHideDetails : look::kShowDetails);
  // The box fits its contents again whenever they change; the user may make it larger.
  setMinimumSize(0, 0);
  layout()->activate();
  QSize wanted = layout()->totalMinimumSize();
  // On a short screen the list gives up lines, down to three, before the box leaves it.
  const int room = ScreenArea(this).height() - (frameGeometry().height() - height());
  if (show && wanted.height() > room) {
    const int fewest = 3 * Details->fontMetrics().lineSpacing();
    Details->setMinimumHeight(std::max(fewest, Details->minimumHeight() - (wanted.height() - room)));
    layout()->activate();
    wanted = layout()->totalMinimumSize();
  }
  setMinimumSize(wanted);
  resize(show ? wanted.expandedTo(QSize(width(), 0)) : wanted);
  Centre(this, owner_);
}

CopyChooser::CopyChooser(QWidget* owner, const QString& title, const std::vector<std::string>& copies)
    : QDialog(owner), owner_(owner), list_(new QListWidget) {
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

void CopyChooser::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  Centre(this, owner_);
}

std::optional<size_t> CopyChooser::Chosen() const {
  if (list_->currentRow() < 0) return std::nullopt;
  return static_cast<size_t>(list_->currentRow());
}
