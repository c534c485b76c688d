#pragma once

#include <array>

#include <QColor>
#include <QPushButton>

#include "ui/common/ListSettings.h"
#include "ui/settings/SettingsSheet.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QTreeWidget;

namespace vandrel {

// What the file list's four pages edit: a copy of its settings, and whether
// an edit needs the folder read again.
struct ListPageData {
    ListSettings values;
    bool changed = false;
};

// "General": frames to read, when to read all frames, the export's HTML codes
// and the folder watch.
class CPropListGeneral : public CSettingsPage {
    Q_OBJECT
public:
    explicit CPropListGeneral(ListPageData& page_data, QWidget* parent = nullptr);
    bool Apply() override;

    QLineEdit* frames() const { return frames_; }
    QCheckBox* read_all_unknown() const { return read_all_unknown_; }
    QCheckBox* read_all_initial() const { return read_all_initial_; }
    QCheckBox* xml() const { return xml_; }
    QCheckBox* rescan() const { return rescan_; }

private:
    ListPageData& data_;
    QLineEdit* frames_;
    QCheckBox* read_all_unknown_;
    QCheckBox* read_all_initial_;
    QCheckBox* xml_;
    QCheckBox* rescan_;
};

// A push button drawn filled with its colour.
class CColourButton : public QPushButton {
    Q_OBJECT
public:
    explicit CColourButton(QWidget* parent = nullptr);
    void SetColour(const QColor& colour);
    const QColor& colour() const { return colour_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor colour_;
};

// "Quality": the colours of the quality classes and the mono option.
class CPropListQuality : public CSettingsPage {
    Q_OBJECT
public:
    enum Button : size_t { kGood, kNotBad, kBad };
    // The colours "Reset" gives, as setting values (red + 256 green + 65536 blue).
    static constexpr int kDefaultGood = 150 + 256 * 255 + 65536 * 150;
    static constexpr int kDefaultNotBad = 255 + 256 * 255 + 65536 * 150;
    static constexpr int kDefaultBad = 255 + 256 * 150 + 65536 * 150;

    explicit CPropListQuality(ListPageData& page_data, QWidget* parent = nullptr);
    bool Apply() override;

    CColourButton* colour_button(Button which) const { return buttons_[which]; }
    QCheckBox* mono() const { return mono_; }
    QPushButton* reset() const { return reset_; }
    // Sets a colour as the colour chooser would.
    void ChooseColour(Button which, const QColor& colour);

private:
    void ShowColours();

    ListPageData& data_;
    std::array<CColourButton*, 3> buttons_{};
    QCheckBox* mono_;
    QPushButton* reset_;
};

// "Columns": the shown attributes, grouped as the catalog, and two options.
class CPropListColumns : public CSettingsPage {
    Q_OBJECT
public:
    explicit CPropListColumns(ListPageData& page_data, QWidget* parent = nullptr);
    bool Apply() override;

    QCheckBox* autosize() const { return autosize_; }
    QCheckBox* tooltips() const { return tooltips_; }
    QTreeWidget* attributes() const { return attributes_; }

private:
    ListPageData& data_;
    QCheckBox* autosize_;
    QCheckBox* tooltips_;
    QTreeWidget* attributes_;
};

// "Filetypes": the extensions the list shows.
class CPropListFiletypes : public CSettingsPage {
    Q_OBJECT
public:
    explicit CPropListFiletypes(ListPageData& page_data, QWidget* parent = nullptr);
    bool Apply() override;

    QListWidget* extensions() const { return extensions_; }
    QLineEdit* new_extension() const { return new_extension_; }
    // "Add": the new extension, with a "." in front when it has none.
    void AddExtension();
    // "Remove": the selected extension.
    void RemoveExtension();

private:
    ListPageData& data_;
    QListWidget* extensions_;
    QLineEdit* new_extension_;
};

}  // namespace vandrel
