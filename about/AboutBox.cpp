#include "AboutBox.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <memory>

#include "CorvaneIcon.h"
#include "FileVersion.h"

namespace {

constexpr int kClientWidth = 286;
constexpr int kClientHeight = 328;

QLabel* CentredLabel(QWidget* parent, const char* name, const QString& text, const QColor& colour,
                     const QRect& geometry) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QLatin1String(name));
  label->setAlignment(Qt::AlignCenter);
  label->setGeometry(geometry);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, colour);
  label->setPalette(palette);
  return label;
}

QFont ArialFont(int pixels, bool bold) {
  QFont font(QStringLiteral("Arial"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixels);
  font.setBold(bold);
  font.setItalic(true);
  return font;
}

// Courier New where installed, else the system's fixed-pitch font.
QFont MemoFont() {
  QFont font(QStringLiteral("Courier New"));
  font.setStyleHint(QFont::TypeWriter);
  if (!QFontInfo(font).fixedPitch()) font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setPixelSize(11);
  return font;
}

}  // namespace

TAboutBox::TAboutBox(QWidget* parent, const TFactsSource& facts) : QDialog(parent) {
  setObjectName(QStringLiteral("AboutBox"));
  setWindowTitle(QStringLiteral("About..."));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(kClientWidth, kClientHeight);

  Panel1 = new QFrame(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setGeometry(8, 8, 270, 140);
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Panel1->setAutoFillBackground(true);
  QPalette white = Panel1->palette();
  white.setColor(QPalette::Window, Qt::white);
  Panel1->setPalette(white);

  Image1 = new QLabel(Panel1);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setGeometry(8, 8, 32, 32);
  Image1->setPixmap(CorvaneIconPixmap(32));

  const QColor green(0x00, 0x80, 0x00), maroon(0x80, 0x00, 0x00), navy(0x00, 0x00, 0x80);
  ProductName = CentredLabel(Panel1, "ProductName", QString(), green, QRect(44, 10, 182, 26));
  ProductName->setFont(ArialFont(16, true));
  lblVersion = CentredLabel(Panel1, "lblVersion", QString(), maroon, QRect(44, 40, 182, 20));
  lblVersion->setFont(ArialFont(12, false));

  Bevel1 = new QFrame(Panel1);
  Bevel1->setObjectName(QStringLiteral("Bevel1"));
  Bevel1->setFrameStyle(QFrame::HLine | QFrame::Raised);
  Bevel1->setGeometry(8, 70, 254, 4);

  Copyright =
      CentredLabel(Panel1, "Copyright", QStringLiteral("Copyright"), navy, QRect(4, 84, 262, 20));
  Email = CentredLabel(Panel1, "Email", QStringLiteral("corvane@example.org"), navy,
                       QRect(4, 108, 262, 20));

  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setGeometry(8, 154, 270, 134);
  Memo1->setReadOnly(true);
  Memo1->setFont(MemoFont());
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

  OKButton = new QPushButton(QStringLiteral("OK"), this);
  OKButton->setObjectName(QStringLiteral("OKButton"));
  OKButton->setGeometry(105, 296, 75, 25);
  OKButton->setDefault(true);
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

  QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
  if (screen) move(screen->availableGeometry().center() - rect().center());

  lblVersion->setText(QStringLiteral("Version ") +
                      FileVersionText(QStringLiteral("/proc/self/exe")));
  Memo1->clear();
  Memo1->setPlainText(SystemInfoLines(facts(), QLocale()).join(u'\n'));
}

QString TAboutBox::FileVersionText(const QString& path) {
  return ::FileVersionText(path);
}

TAboutBox2::TAboutBox2(QWidget* parent, const TFactsSource& facts) : TAboutBox(parent, facts) {
  Copyright->setText(QStringLiteral("Copyright \u00A9 The Corvane developers"));
}

int ShowAboutBox(QWidget* owner, const QString& productName) {
  const auto box = std::make_unique<TAboutBox2>(owner);
  box->ProductName->setText(productName);
  return box->exec();
}
