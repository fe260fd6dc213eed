#pragma once

#include <QFlags>
#include <QLineEdit>
#include <QRect>
#include <QString>
#include <functional>
#include <optional>

class QFileDialog;
class QToolButton;

// Flags of the browse dialog.
enum class TFileDialogOption {
  OverwritePrompt = 0x1,  // confirm before an existing file is chosen for saving
  HideReadOnly = 0x2,     // no "open read-only" box
  EnableSizing = 0x4,     // the dialog can be resized
};
Q_DECLARE_FLAGS(TFileDialogOptions, TFileDialogOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TFileDialogOptions)

// Settings copied into a TFileEdit's browse dialog each time it opens.
struct TDialogSettings {
  QString Title;
  QString InitialDir;
  QString DefaultExt;  // added to a name typed without an extension
  QString Filter;      // "description|pattern|description|pattern..."
  TFileDialogOptions Options = TFileDialogOption::HideReadOnly | TFileDialogOption::EnableSizing;
};

// Turns a "description|pattern|..." filter into Qt's "description (pattern);;..." form.
// Patterns separated by ';' become space separated; a description that already shows its
// pattern in parentheses does not get it twice; a pair without a pattern is dropped.
QString QtFileFilter(const QString& filter);

// Where the "..." button sits in an edit of the given size. Framed edits keep the button inside
// the frame of width frameWidth.
QRect FileEditButtonRect(QSize editSize, int buttonWidth, bool framed, int frameWidth);

// A single-line edit with a "..." button inside its right edge that browses for a file name.
class TFileEdit : public QLineEdit {
  Q_OBJECT

 public:
  explicit TFileEdit(QWidget* parent = nullptr);
  ~TFileEdit() override;

  // true: a chosen file lands in the edit with its folder; false: only its name part.
  bool IncludePath = true;
  // true: the tool tip follows the text.
  bool SetHint = false;
  // When set, the button calls this instead of running the built-in file dialog.
  std::function<void(TFileEdit*)> OnButtonClick;
  TDialogSettings DialogSettings;

  QToolButton* Button() const { return FButton; }
  // Places the button and narrows the text area to end left of it.
  void UpdateButtonLayout();
  // What the "..." button does: OnButtonClick, or the file dialog.
  void ButtonClick();

 protected:
  // Runs the file dialog; the chosen full path, or nothing when cancelled.
  virtual std::optional<QString> RunFileDialog();

  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  int FrameWidth() const;

  QToolButton* FButton;
  QFileDialog* FDialog = nullptr;
  QString FLastChosen;
};
