#include "ui/settings/ListPages.h"

#include <algorithm>
#include <map>

#include <QCheckBox>
#include <QColorDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QStyleOptionButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "engine/media/FileTypes.h"
#include "store/AttributeCatalog.h"
#include "ui/browser/ListModel.h"

namespace vandrel {

namespace {

// The longest extension the edit takes.
constexpr int kMaxExtensionLength = 259;
constexpr int kColourButtonWidth = 120;

int SettingFromColour(const QColor& colour) {
    return colour.red() + 256 * colour.green() + 65536 * colour.blue();
}

QCheckBox* AddCheckBox(QLayout* layout, const QString& text, bool checked) {
    auto* box = new QCheckBox(text);
    box->setChecked(checked);
    layout->addWidget(box);
    return box;
}

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

// --- General ------------------------------------------------------------------

CPropListGeneral::CPropListGeneral(ListPageData& page_data, QWidget* parent)
    : CSettingsPage(parent), data_(page_data), frames_(new QLineEdit(this)) {
    setWindowTitle(tr("General"));
    const ListSettings& values = data_.values;
    frames_->setText(QString::number(values.frame_limit));
    auto* frames_row = new QHBoxLayout;
    auto* frames_label = new QLabel(tr("&Frames to read:"));
    frames_label->setBuddy(frames_);
    frames_row->addWidget(frames_label);
    frames_row->addWidget(frames_);
    frames_row->addWidget(new QLabel(tr("(0 = all frames)")));
    frames_row->addStretch();

    auto* read_all = new QGroupBox(tr("Read all frames when:"));
    auto* read_all_layout = new QVBoxLayout(read_all);
    read_all_unknown_ =
        AddCheckBox(read_all_layout, tr("Encoder 'Unknown'"), values.read_all_unknown);
    read_all_initial_ =
        AddCheckBox(read_all_layout, tr("Initial scan finished"), values.read_all_initial);
    auto* export_group = new QGroupBox(tr("Export"));
    auto* export_layout = new QVBoxLayout(export_group);
    xml_ = AddCheckBox(export_layout, tr("Substitute HTML codes in XML"), values.xml_entities);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(frames_row);
    layout->addWidget(read_all);
    layout->addWidget(export_group);
    rescan_ = AddCheckBox(layout, tr("Rescan when directory contents modified"), values.rescan);
    layout->addStretch();
}

bool CPropListGeneral::Apply() {
    bool number = false;
    const int frames = frames_->text().trimmed().toInt(&number);
    if (!number || frames < 0 || frames > kMaxFramesToRead) {
        RejectEntry(frames_,
                    tr("A number of frames from 0 (all frames) to %1").arg(kMaxFramesToRead));
        return false;
    }
    ListSettings& values = data_.values;
    if (frames != values.frame_limit || read_all_unknown_->isChecked() != values.read_all_unknown ||
        read_all_initial_->isChecked() != values.read_all_initial) {
        data_.changed = true;
    }
    values.frame_limit = frames;
    values.read_all_unknown = read_all_unknown_->isChecked();
    values.read_all_initial = read_all_initial_->isChecked();
    values.xml_entities = xml_->isChecked();
    values.rescan = rescan_->isChecked();
    return true;
}

// --- Quality ------------------------------------------------------------------

CColourButton::CColourButton(QWidget* parent) : QPushButton(parent) {
    setMinimumWidth(kColourButtonWidth);
}

void CColourButton::SetColour(const QColor& colour) {
    colour_ = colour;
    setAccessibleDescription(colour.name());
    update();
}

void CColourButton::paintEvent(QPaintEvent* event) {
    QPushButton::paintEvent(event);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QRect inside = style()
                             ->subElementRect(QStyle::SE_PushButtonContents, &option, this)
                             .adjusted(2, 2, -2, -2);
    QPainter painter(this);
    painter.fillRect(inside, colour_);
    painter.setPen(ReadableTextOn(colour_));
    painter.drawRect(inside.adjusted(0, 0, -1, -1));
}

CPropListQuality::CPropListQuality(ListPageData& page_data, QWidget* parent)
    : CSettingsPage(parent), data_(page_data) {
    setWindowTitle(tr("Quality"));
    auto* colours = new QGroupBox(tr("Colors"));
    auto* colours_layout = new QFormLayout(colours);
    colours_layout->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    const QString labels[] = {tr("&Good:"), tr("&Not bad:"), tr("&Bad:")};
    for (size_t i = 0; i < buttons_.size(); ++i) {
        buttons_[i] = new CColourButton;
        colours_layout->addRow(labels[i], buttons_[i]);
        connect(buttons_[i], &QPushButton::clicked, this, [this, i] {
            // The chooser keeps its sixteen custom colours for the whole run.
            const QColor chosen = QColorDialog::getColor(buttons_[i]->colour(), this);
            if (chosen.isValid()) {
                ChooseColour(static_cast<Button>(i), chosen);
            }
        });
    }
    reset_ = new QPushButton(tr("&Reset"));
    colours_layout->addRow(QString(), reset_);
    connect(reset_, &QPushButton::clicked, this, [this] {
        data_.values.color_good = kDefaultGood;
        data_.values.color_notbad = kDefaultNotBad;
        data_.values.color_bad = kDefaultBad;
        ShowColours();
    });

    auto* mono_group = new QGroupBox(tr("Mono files"));
    auto* mono_layout = new QVBoxLayout(mono_group);
    mono_ = AddCheckBox(mono_layout, tr("Double quality per bitrate"), data_.values.mono_quality);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(colours);
    layout->addWidget(mono_group);
    layout->addStretch();
    ShowColours();
}

void CPropListQuality::ShowColours() {
    buttons_[kGood]->SetColour(ColorFromSetting(data_.values.color_good));
    buttons_[kNotBad]->SetColour(ColorFromSetting(data_.values.color_notbad));
    buttons_[kBad]->SetColour(ColorFromSetting(data_.values.color_bad));
}

void CPropListQuality::ChooseColour(Button which, const QColor& colour) {
    int& value = which == kGood     ? data_.values.color_good
                 : which == kNotBad ? data_.values.color_notbad
                                    : data_.values.color_bad;
    value = SettingFromColour(colour);
    ShowColours();
}

bool CPropListQuality::Apply() {
    if (mono_->isChecked() != data_.values.mono_quality) {
        data_.changed = true;
    }
    data_.values.mono_quality = mono_->isChecked();
    return true;
}

// --- Columns ------------------------------------------------------------------

CPropListColumns::CPropListColumns(ListPageData& page_data, QWidget* parent)
    : CSettingsPage(parent), data_(page_data), attributes_(new QTreeWidget(this)) {
    setWindowTitle(tr("Columns"));
    auto* layout = new QVBoxLayout(this);
    autosize_ = AddCheckBox(layout, tr("Auto resize columns"), data_.values.autosize);
    tooltips_ = AddCheckBox(layout, tr("Display header tooltips"), data_.values.tooltips);
    layout->addWidget(attributes_, 1);

    attributes_->setHeaderLabels({tr("Attribute"), tr("Description")});
    attributes_->setRootIsDecorated(true);
    std::map<std::string_view, QTreeWidgetItem*> groups;
    for (const AttributeInfo& attribute : Catalog()) {
        QTreeWidgetItem*& group = groups[attribute.group];
        if (group == nullptr) {
            group = new QTreeWidgetItem(attributes_, {FromUtf8(attribute.group)});
            group->setFlags(Qt::ItemIsEnabled);
            group->setExpanded(true);
        }
        auto* item =
            new QTreeWidgetItem(group, {FromUtf8(attribute.name), FromUtf8(attribute.description)});
        item->setData(0, Qt::UserRole, attribute.id);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        const bool shown =
            std::any_of(data_.values.columns.begin(), data_.values.columns.end(),
                        [&](const ListColumn& column) { return column.id == attribute.id; });
        item->setCheckState(0, shown ? Qt::Checked : Qt::Unchecked);
    }
    attributes_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
}

bool CPropListColumns::Apply() {
    ListSettings& values = data_.values;
    values.autosize = autosize_->isChecked();
    values.tooltips = tooltips_->isChecked();
    std::vector<ListColumn> columns;
    for (int g = 0; g < attributes_->topLevelItemCount(); ++g) {
        const QTreeWidgetItem* group = attributes_->topLevelItem(g);
        for (int i = 0; i < group->childCount(); ++i) {
            const QTreeWidgetItem* item = group->child(i);
            if (item->checkState(0) != Qt::Checked) {
                continue;
            }
            const int32_t id = item->data(0, Qt::UserRole).toInt();
            // A column that stays keeps the width the user gave it.
            const auto kept =
                std::find_if(values.columns.begin(), values.columns.end(),
                             [id](const ListColumn& column) { return column.id == id; });
            columns.push_back({id, kept != values.columns.end() ? kept->width : 0});
        }
    }
    values.columns = std::move(columns);
    data_.changed = true;
    return true;
}

// --- Filetypes ----------------------------------------------------------------

CPropListFiletypes::CPropListFiletypes(ListPageData& page_data, QWidget* parent)
    : CSettingsPage(parent), data_(page_data), extensions_(new QListWidget(this)),
      new_extension_(new QLineEdit(this)) {
    setWindowTitle(tr("Filetypes"));
    for (const std::string& extension : SplitFileTypes(data_.values.file_types)) {
        extensions_->addItem(QString::fromStdString(extension));
    }
    new_extension_->setMaxLength(kMaxExtensionLength);
    auto* add = new QPushButton(tr("&Add"));
    auto* remove = new QPushButton(tr("&Remove"));
    connect(add, &QPushButton::clicked, this, &CPropListFiletypes::AddExtension);
    connect(remove, &QPushButton::clicked, this, &CPropListFiletypes::RemoveExtension);
    connect(new_extension_, &QLineEdit::returnPressed, this, &CPropListFiletypes::AddExtension);

    auto* extensions_label = new QLabel(tr("E&xtensions:"));
    extensions_label->setBuddy(extensions_);
    auto* new_label = new QLabel(tr("New &Extension: "));
    new_label->setBuddy(new_extension_);
    auto* supported =
        new QLabel(tr("mpeg audio \t(mp3 etc)\nmpegplus \t(mpc etc)\nmpegpro \t(limited)"));
    supported->setTextFormat(Qt::PlainText);

    auto* layout = new QGridLayout(this);
    layout->addWidget(extensions_label, 0, 0);
    layout->addWidget(extensions_, 1, 0, 4, 1);
    layout->addWidget(new_label, 1, 1);
    layout->addWidget(new_extension_, 2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(add);
    buttons->addWidget(remove);
    buttons->addStretch();
    layout->addLayout(buttons, 3, 1);
    auto* supported_box = new QVBoxLayout;
    supported_box->addWidget(new QLabel(tr("Supported Types:")));
    supported_box->addWidget(supported);
    supported_box->addStretch();
    layout->addLayout(supported_box, 4, 1);
}

void CPropListFiletypes::AddExtension() {
    QString extension = new_extension_->text();
    if (extension.isEmpty()) {
        return;
    }
    if (!extension.startsWith(QLatin1Char('.'))) {
        extension.prepend(QLatin1Char('.'));
    }
    extensions_->addItem(extension);
    new_extension_->clear();
}

void CPropListFiletypes::RemoveExtension() {
    const int row = extensions_->currentRow();
    if (row >= 0 && extensions_->item(row)->isSelected()) {
        delete extensions_->takeItem(row);
    }
}

bool CPropListFiletypes::Apply() {
    std::string text;
    for (int i = 0; i < extensions_->count(); ++i) {
        text += extensions_->item(i)->text().toStdString() + ";";
    }
    data_.values.file_types = std::move(text);
    return true;
}

}  // namespace vandrel
