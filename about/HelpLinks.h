#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

// Caption of the menu entry that opens the maker's web site.
inline constexpr char kMakerSiteCaption[] = "corvane.example.org";
// The maker's web site.
inline constexpr char kMakerSiteUrl[] = "https://corvane.example.org/";
// File name of the help page.
inline constexpr char kHelpFileName[] = "Corvane.html";
// Help context of the main window and of the Help command.
inline constexpr int kMainHelpContext = 100;

// Hands a URL to the desktop; returns whether the desktop accepted it.
using TUrlOpener = std::function<bool(const QUrl&)>;

// Replaces the URL opener (tests); an empty function restores the desktop's default viewer.
void SetUrlOpener(TUrlOpener opener);

// Anchor of a help context within the help page; empty for an unknown context.
QString HelpAnchor(int context);

// Places searched for the help page, in order: beside the executable, the installed share
// folder, the source tree.
QStringList HelpFileCandidates(const QString& executableDir);

// URL of the help page for `context`: the first existing candidate (the first candidate if
// none exists, so the viewer reports the missing file), with the context's anchor.
QUrl HelpUrl(int context, const QString& executableDir);

// Opens the help page at `context` in the desktop's viewer; does not wait and shows no
// message of its own.
void ShowHelpContext(int context);

// Opens the maker's web site in the user's browser; the result is ignored.
void OpenMakerSite();
