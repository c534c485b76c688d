#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>

#include <QIcon>
#include <QStyle>

class QAction;
class QWidget;

namespace vandrel {

// The commands of the main window's menus, toolbar and keys.
enum class FrameCommand : size_t {
    kExport,
    kExit,
    kCut,
    kCopy,
    kPaste,
    kDelete,
    kRename,
    kSelectAll,
    kSelectNone,
    kShowToolbar,
    kShowAnimation,
    kShowStatusBar,
    kRefresh,
    kCompleteScan,
    kProblemsOnly,
    kAddFavourite,
    kOrganize,
    kSettings,
    kAbout,
    kDocumentation,
    kViewLog,
    kLogging,
    kViewCache,
    kPause,
    kStop,
};
inline constexpr size_t kCommandCount = static_cast<size_t>(FrameCommand::kStop) + 1;

// Whether a command is a switch, and how it starts.
enum class CommandToggle { kNone, kOff, kOn };

// How a command looks: its texts untranslated, its key, its icon.
struct CommandLook {
    FrameCommand command;
    const char* text;
    const char* status_tip = nullptr;
    QKeyCombination key = Qt::Key_unknown;  // Key_unknown: none
    // A key of the window, or one that only the focused widget takes.
    Qt::ShortcutContext key_context = Qt::WindowShortcut;
    const char* icon = nullptr;  // the theme's name for it
    // The style's icon where the theme has none; without it the theme's alone.
    std::optional<QStyle::StandardPixmap> fallback = std::nullopt;
    CommandToggle toggle = CommandToggle::kNone;
    const char* tool_tip = nullptr;  // when it says more than the text
};

// Every command's look, in the order of FrameCommand.
std::span<const CommandLook> CommandTable();

// A theme's icon, or the style's where the theme has none.
QIcon ThemeIcon(const char* name, QStyle::StandardPixmap fallback);

// The QActions of the commands, made from the table as children of `owner`.
class FrameActions {
public:
    explicit FrameActions(QWidget& owner);
    QAction* operator[](FrameCommand command) const {
        return actions_[static_cast<size_t>(command)];
    }

private:
    std::array<QAction*, kCommandCount> actions_{};
};

}  // namespace vandrel
