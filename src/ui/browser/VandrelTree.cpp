#include "VandrelTree.h"

namespace vandrel {

CVandrelTree::CVandrelTree(TreeListener& listener, QWidget* parent)
    : QTreeWidget(parent), listener_(listener) {}

CVandrelTree::~CVandrelTree() = default;

void CVandrelTree::SaveSettings(SettingsStore& /*settings*/) {}

void CVandrelTree::LoadSettings(const SettingsStore& /*settings*/) {}

void CVandrelTree::StartUp(const std::vector<std::string>& /*arguments*/) {}

void CVandrelTree::Refresh() {}

std::optional<FolderRef> CVandrelTree::CurrentFolder() const {
    return std::nullopt;
}

void CVandrelTree::BeginExpand(const std::string& /*path*/, const std::string& /*encoded*/) {}

void CVandrelTree::GoToFavourite(const std::string& label, const std::string& encoded) {
    BeginExpand(label, encoded);
}

}  // namespace vandrel
