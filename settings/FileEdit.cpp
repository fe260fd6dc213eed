#include "FileEdit.h"

#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QToolButton>

namespace {

constexpr int kEditHeight = 21;

}  // namespace

QString QtFileFilter(const QString& filter) {
  const QStringList parts = filter.split(QLatin1Char('|'));
  QStringList result;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString description = parts[i].trimmed();
    const QString raw = parts[i + 1].trimmed();
    const QString pattern =
        raw.split(QLatin1Char(';'), Qt::SkipEmptyParts).join(QLatin1Char(' ')).trimmed();
    if (pattern.isEmpty()) continue;
    const QString shown = QLatin1Char('(') + raw + QLatin1Char(')');
    if (description.contains(shown))
      result << description.replace(shown, QLatin1Char('(') + pattern + QLatin1Char(')'));
    else if (description.isEmpty())
      result << pattern;
    else
      result << QStringLiteral("%1 (%2)").arg(description, pattern);
  }
  return result.join(QStringLiteral(";;"));
}

QRect FileEditButtonRect(QSize editSize, int buttonWidth, bool framed, int frameWidth) {
  if (framed) {
    // One pixel clear of the frame on the right and at the bottom.
    return QRect(editSize.width() - frameWidth - 1 - buttonWidth, frameWidth, buttonWidth,
                 editSize.height() - 2 * frameWidth - 1);
  }
  return QRect(editSize.width() - buttonWidth, 1, buttonWidth, editSize.height() - 3);
}

TFileEdit::TFileEdit(QWidget* parent) : QLineEdit(parent), FButton(new QToolButton(this)) {
  setFixedHeight(kEditHeight);
  const int side = height() - 4;
  FButton->setObjectName(QStringLiteral("btnBrowse"));
  FButton->setText(QStringLiteral("..."));
  FButton->setCursor(Qt::ArrowCursor);
  FButton->resize(side, side);
  FButton->show();
  connect(FButton, &QToolButton::clicked, this, [this] { ButtonClick(); });
  connect(this, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (SetHint) setToolTip(text);
  });
  UpdateButtonLayout();
}

TFileEdit::~TFileEdit() = default;

int TFileEdit::FrameWidth() const {
  QStyleOptionFrame option;
  initStyleOption(&option);
  return style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, this);
}

void TFileEdit::UpdateButtonLayout() {
  FButton->setGeometry(FileEditButtonRect(size(), FButton->width(), hasFrame(), FrameWidth()));
  setTextMargins(0, 0, FButton->width() + 2, 0);
}

void TFileEdit::resizeEvent(QResizeEvent* event) {
  QLineEdit::resizeEvent(event);
  UpdateButtonLayout();
}

void TFileEdit::changeEvent(QEvent* event) {
  QLineEdit::changeEvent(event);
  if (event->type() == QEvent::EnabledChange)
    FButton->setEnabled(isEnabled());
  else if (event->type() == QEvent::StyleChange)
    UpdateButtonLayout();
}

void TFileEdit::ButtonClick() {
  if (OnButtonClick) {
    OnButtonClick(this);
    return;
  }
  const std::optional<QString> chosen = RunFileDialog();
  if (!chosen) return;
  setText(IncludePath ? *chosen : QFileInfo(*chosen).fileName());
}

std::optional<QString> TFileEdit::RunFileDialog() {
  if (!FDialog) {
    FDialog = new QFileDialog(this);
    FDialog->setOption(QFileDialog::DontUseNativeDialog);
    FDialog->setFileMode(QFileDialog::AnyFile);
    FDialog->setAcceptMode(QFileDialog::AcceptOpen);
  }
  const TDialogSettings& settings = DialogSettings;
  FDialog->setWindowTitle(settings.Title);
  if (!settings.InitialDir.isEmpty()) FDialog->setDirectory(settings.InitialDir);
  FDialog->setDefaultSuffix(settings.DefaultExt);
  FDialog->setNameFilter(QtFileFilter(settings.Filter));
  FDialog->setOption(QFileDialog::DontConfirmOverwrite,
                     !settings.Options.testFlag(TFileDialogOption::OverwritePrompt));
  FDialog->setSizeGripEnabled(settings.Options.testFlag(TFileDialogOption::EnableSizing));
  if (!FLastChosen.isEmpty()) FDialog->selectFile(FLastChosen);

  if (FDialog->exec() != QDialog::Accepted || FDialog->selectedFiles().isEmpty())
    return std::nullopt;
  FLastChosen = FDialog->selectedFiles().constFirst();
  return FLastChosen;
}
