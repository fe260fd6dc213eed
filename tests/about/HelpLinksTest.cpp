#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <vector>

#include "HelpLinks.h"

namespace {

// Captures the URLs handed to the desktop instead of opening them.
class UrlCapture : public testing::Test {
 protected:
  void SetUp() override {
    SetUrlOpener([this](const QUrl& url) {
      urls.push_back(url);
      return true;
    });
  }
  void TearDown() override { SetUrlOpener({}); }

  std::vector<QUrl> urls;
};

void Touch(const QString& path) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

}  // namespace

TEST_F(UrlCapture, HelpOpensThePageBesideTheProgramAtTheMainTopic) {
  ShowHelpContext(kMainHelpContext);
  ASSERT_EQ(urls.size(), 1u);
  const QUrl& url = urls.front();
  EXPECT_TRUE(url.isLocalFile());
  EXPECT_TRUE(url.toString().endsWith("/Corvane.html#overview")) << url.toString().toStdString();
  EXPECT_EQ(QFileInfo(url.toLocalFile()).absolutePath(), QCoreApplication::applicationDirPath());
  EXPECT_TRUE(QFileInfo(url.toLocalFile()).isFile());
}

TEST_F(UrlCapture, WebLinkOpensTheMakersSite) {
  OpenMakerSite();
  ASSERT_EQ(urls.size(), 1u);
  EXPECT_EQ(urls.front(), QUrl("https://corvane.example.org/"));
  EXPECT_EQ(urls.front().host(), QString::fromLatin1(kMakerSiteCaption));
}

TEST(HelpUrl, PrefersBesideTheProgramThenShareThenSourceTree) {
  QTemporaryDir root;
  ASSERT_TRUE(root.isValid());
  const QString bin = root.filePath("bin");
  QDir().mkpath(bin);
  const QString source = QStringLiteral(CORVANE_TEST_HELP_SOURCE);

  EXPECT_EQ(HelpUrl(100, bin).toLocalFile(), source);
  EXPECT_TRUE(HelpUrl(999, bin).fragment().isEmpty());
  Touch(root.filePath("share/corvane/Corvane.html"));
  EXPECT_EQ(HelpUrl(100, bin).toLocalFile(), root.filePath("share/corvane/Corvane.html"));
  Touch(root.filePath("bin/Corvane.html"));
  EXPECT_EQ(HelpUrl(100, bin).toLocalFile(), root.filePath("bin/Corvane.html"));
}

TEST(HelpPage, HasAnAnchorForEveryContext) {
  QFile page(QStringLiteral(CORVANE_TEST_HELP_SOURCE));
  ASSERT_TRUE(page.open(QIODevice::ReadOnly));
  const QString html = QString::fromUtf8(page.readAll());
  for (int context = 100; context <= 200; context += 10) {
    const QString anchor = HelpAnchor(context);
    if (anchor.isEmpty()) continue;
    EXPECT_TRUE(html.contains(QStringLiteral("id=\"%1\"").arg(anchor))) << context;
  }
  EXPECT_FALSE(HelpAnchor(kMainHelpContext).isEmpty());
}
