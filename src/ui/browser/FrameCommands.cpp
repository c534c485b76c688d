#include "ui/browser/FrameCommands.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QIcon>
#include <QKeySequence>
#include <QWidget>

namespace vandrel {

namespace {

// The texts are the main window's, where they are translated.
#define FRAME_TEXT(text) QT_TRANSLATE_NOOP("vandrel::CMainFrame", text)

using enum FrameCommand;

constexpr auto kCommandTable = std::to_array<CommandLook>({
    {.command = kExport,
     .text = FRAME_TEXT("&Export..."),
     .status_tip = FRAME_TEXT("Export current information as a text file"),
     .icon = "document-save-as",
     .fallback = QStyle::SP_DialogSaveButton},
    {.command = kExit,
     .text = FRAME_TEXT("E&xit"),
     .status_tip = FRAME_TEXT("Quit Vandrel"),
     .key = Qt::CTRL | Qt::Key_Q},
    {.command = kCut, .text = FRAME_TEXT("Cu&t"), .key = Qt::CTRL | Qt::Key_X, .icon = "edit-cut"},
    {.command = kCopy,
     .text = FRAME_TEXT("&Copy"),
     .key = Qt::CTRL | Qt::Key_C,
     .icon = "edit-copy"},
    {.command = kPaste,
     .text = FRAME_TEXT("&Paste"),
     .key = Qt::CTRL | Qt::Key_V,
     .icon = "edit-paste"},
    // The list handles its own Del key.
    {.command = kDelete,
     .text = FRAME_TEXT("&Delete"),
     .status_tip = FRAME_TEXT("Delete the currently selected item"),
     .key = Qt::Key_Delete,
     .key_context = Qt::WidgetShortcut},
    {.command = kRename,
     .text = FRAME_TEXT("&Rename"),
     .status_tip = FRAME_TEXT("Rename the currently selected item"),
     .key = Qt::Key_F2},
    {.command = kSelectAll,
     .text = FRAME_TEXT("&Select All"),
     .status_tip = FRAME_TEXT("Select all items on list"),
     .key = Qt::CTRL | Qt::Key_A},
    {.command = kSelectNone,
     .text = FRAME_TEXT("Select &None"),
     .status_tip = FRAME_TEXT("Select no items on list"),
     .key = Qt::CTRL | Qt::Key_D},
    {.command = kShowToolbar, .text = FRAME_TEXT("&Toolbar"), .toggle = CommandToggle::kOn},
    {.command = kShowAnimation,
     .text = FRAME_TEXT("&Animation"),
     .status_tip = FRAME_TEXT("Show or hide the animation"),
     .toggle = CommandToggle::kOn},
    {.command = kShowStatusBar, .text = FRAME_TEXT("&Status Bar"), .toggle = CommandToggle::kOn},
    {.command = kRefresh,
     .text = FRAME_TEXT("&Refresh"),
     .status_tip = FRAME_TEXT("Refresh list"),
     .key = Qt::Key_F5,
     .icon = "view-refresh",
     .fallback = QStyle::SP_BrowserReload},
    {.command = kCompleteScan,
     .text = FRAME_TEXT("&Complete Scan"),
     .status_tip = FRAME_TEXT("Scan all frames of all files in this folder"),
     .key = Qt::Key_F6,
     .icon = "media-seek-forward",
     .fallback = QStyle::SP_MediaSeekForward},
    {.command = kProblemsOnly,
     .text = FRAME_TEXT("Problem files only"),
     .status_tip = FRAME_TEXT("List only the files whose analysis found a problem"),
     .icon = "dialog-warning",
     .fallback = QStyle::SP_MessageBoxWarning,
     .toggle = CommandToggle::kOff,
     .tool_tip = FRAME_TEXT("List only the files whose analysis found a problem; files not "
                            "analysed yet stay listed until they are found clean")},
    {.command = kAddFavourite,
     .text = FRAME_TEXT("&Add Current"),
     .status_tip = FRAME_TEXT("Add current folder as a favourite"),
     .icon = "bookmark-new",
     .fallback = QStyle::SP_DirLinkIcon},
    {.command = kOrganize, .text = FRAME_TEXT("&Organize...")},
    {.command = kSettings,
     .text = FRAME_TEXT("&Settings..."),
     .status_tip = FRAME_TEXT("Display program settings"),
     .key = Qt::CTRL | Qt::Key_P,
     .icon = "preferences-system",
     .fallback = QStyle::SP_FileDialogDetailedView},
    {.command = kAbout,
     .text = FRAME_TEXT("&About Vandrel..."),
     .icon = "help-about",
     .fallback = QStyle::SP_MessageBoxInformation},
    {.command = kDocumentation, .text = FRAME_TEXT("Online Do&cumentation")},
    {.command = kViewLog, .text = FRAME_TEXT("&View LOG File")},
    {.command = kLogging,
     .text = FRAME_TEXT("&Logging"),
     .status_tip = FRAME_TEXT("Control logging of various actions..."),
     .toggle = CommandToggle::kOn},
    {.command = kViewCache, .text = FRAME_TEXT("&View Cache")},
    // Its text and icon follow the busy state.
    {.command = kPause,
     .text = FRAME_TEXT("Pause"),
     .status_tip = FRAME_TEXT("Pause or resume loading the list")},
    {.command = kStop,
     .text = FRAME_TEXT("Stop"),
     .status_tip = FRAME_TEXT("Stop loading list"),
     .key = Qt::Key_Escape,
     .icon = "process-stop",
     .fallback = QStyle::SP_BrowserStop},
});

#undef FRAME_TEXT

constexpr bool InCommandOrder() {
    for (size_t i = 0; i < kCommandTable.size(); ++i) {
        if (static_cast<size_t>(kCommandTable[i].command) != i) {
            return false;
        }
    }
    return kCommandTable.size() == kCommandCount;
}
static_assert(InCommandOrder(), "one look for each command, in the order of FrameCommand");

QString Translated(const char* text) {
    return QCoreApplication::translate("vandrel::CMainFrame", text);
}

}  // namespace

std::span<const CommandLook> CommandTable() {
    return kCommandTable;
}

QIcon ThemeIcon(const char* name, QStyle::StandardPixmap fallback) {
    return QIcon::fromTheme(QString::fromLatin1(name),
                            QApplication::style()->standardIcon(fallback));
}

FrameActions::FrameActions(QWidget& owner) {
    for (const CommandLook& look : kCommandTable) {
        auto* action = new QAction(Translated(look.text), &owner);
        if (look.status_tip != nullptr) {
            action->setStatusTip(Translated(look.status_tip));
        }
        if (look.tool_tip != nullptr) {
            action->setToolTip(Translated(look.tool_tip));
        }
        if (look.key.key() != Qt::Key_unknown) {
            action->setShortcut(QKeySequence(look.key));
            action->setShortcutContext(look.key_context);
        }
        if (look.icon != nullptr) {
            action->setIcon(look.fallback ? ThemeIcon(look.icon, *look.fallback)
                                          : QIcon::fromTheme(QString::fromLatin1(look.icon)));
        }
        if (look.toggle != CommandToggle::kNone) {
            action->setCheckable(true);
            action->setChecked(look.toggle == CommandToggle::kOn);
        }
        actions_[static_cast<size_t>(look.command)] = action;
    }
}

}  // namespace vandrel
