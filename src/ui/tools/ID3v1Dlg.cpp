#include "ui/tools/ID3v1Dlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace vandrel {

namespace {

const QString kInvalidStyle = QStringLiteral("QLineEdit { border: 2px solid #d00000; }");

struct FieldLabel {
    Id3v1Part part;
    const char* label;
    int digits;  // 0: a text field
};

constexpr std::array kFieldLabels = {
    FieldLabel{Id3v1Part::kTitle, QT_TRANSLATE_NOOP("CID3v1Dlg", "&Title"), 0},
    FieldLabel{Id3v1Part::kArtist, QT_TRANSLATE_NOOP("CID3v1Dlg", "A&rtist"), 0},
    FieldLabel{Id3v1Part::kAlbum, QT_TRANSLATE_NOOP("CID3v1Dlg", "Al&bum"), 0},
    FieldLabel{Id3v1Part::kComment, QT_TRANSLATE_NOOP("CID3v1Dlg", "&Comment"), 0},
    FieldLabel{Id3v1Part::kYear, QT_TRANSLATE_NOOP("CID3v1Dlg", "&Year"), 4},
    FieldLabel{Id3v1Part::kTrack, QT_TRANSLATE_NOOP("CID3v1Dlg", "Trac&k"), 3},
};

// The number in a digits-only field; `empty` when it holds none.
int NumberIn(const QLineEdit* field, int empty) {
    bool ok = false;
    const int number = field->text().toInt(&ok);
    return ok ? number : empty;
}

}  // namespace

CID3v1Dlg::CID3v1Dlg(QWidget* parent) : QDialog(parent) {
    auto* form = new QFormLayout;
    for (const FieldLabel& entry : kFieldLabels) {
        auto* field = new QLineEdit(this);
        if (entry.digits > 0) {
            field->setValidator(new QRegularExpressionValidator(
                QRegularExpression(QStringLiteral("\\d{0,%1}").arg(entry.digits)), field));
        }
        connect(field, &QLineEdit::textChanged, this, &CID3v1Dlg::CheckValues);
        fields_[static_cast<size_t>(entry.part)] = field;
        form->addRow(tr(entry.label), field);
    }
    // An empty entry first, for no genre; then genre g is entry g + 1.
    genre_ = new QComboBox(this);
    genre_->addItem(QString());
    for (int genre = 0; genre < kGenreCount; ++genre) {
        const std::string_view name = GenreName(genre);
        genre_->addItem(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
    }
    form->addRow(tr("&Genre"), genre_);

    hint_ = new QLabel(this);
    hint_->setWordWrap(true);
    hint_->setStyleSheet(QStringLiteral("QLabel { color: #d00000; }"));

    auto* buttons = new QDialogButtonBox(this);
    update_ = buttons->addButton(tr("Update"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QDialogButtonBox::Cancel);
    update_->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(hint_);
    layout->addStretch(1);
    layout->addWidget(buttons);
    setMinimumWidth(420);
}

QLineEdit* CID3v1Dlg::Field(Id3v1Part part) const {
    return fields_[static_cast<size_t>(part)];
}

void CID3v1Dlg::SetValues(const Id3v1Fields& values, const QString& caption,
                          const Id3v1PartSet& mixed) {
    setWindowTitle(caption);
    Field(Id3v1Part::kTitle)->setText(QString::fromStdString(values.title));
    Field(Id3v1Part::kArtist)->setText(QString::fromStdString(values.artist));
    Field(Id3v1Part::kAlbum)->setText(QString::fromStdString(values.album));
    Field(Id3v1Part::kComment)->setText(QString::fromStdString(values.comment));
    Field(Id3v1Part::kYear)->setText(values.year != -1 ? QString::number(values.year) : QString());
    Field(Id3v1Part::kTrack)->setText(values.track > 0 ? QString::number(values.track) : QString());
    genre_->setCurrentIndex(values.genre >= 0 && values.genre < kGenreCount ? values.genre + 1 : 0);
    for (const FieldLabel& entry : kFieldLabels) {
        Field(entry.part)
            ->setPlaceholderText(mixed[static_cast<size_t>(entry.part)]
                                     ? tr("(differs between the files)")
                                     : QString());
    }
    genre_->setToolTip(mixed[static_cast<size_t>(Id3v1Part::kGenre)]
                           ? tr("The genre differs between the files")
                           : QString());
    CheckValues();
}

Id3v1Fields CID3v1Dlg::Values() const {
    Id3v1Fields values;
    values.title = Field(Id3v1Part::kTitle)->text().toStdString();
    values.artist = Field(Id3v1Part::kArtist)->text().toStdString();
    values.album = Field(Id3v1Part::kAlbum)->text().toStdString();
    values.comment = Field(Id3v1Part::kComment)->text().toStdString();
    values.year = NumberIn(Field(Id3v1Part::kYear), -1);
    values.track = NumberIn(Field(Id3v1Part::kTrack), 0);
    values.genre = genre_->currentIndex() > 0 ? genre_->currentIndex() - 1 : kNoGenre;
    return values;
}

QString CID3v1Dlg::Hint() const {
    return hint_->text();
}

void CID3v1Dlg::CheckValues() {
    // Every field that does not fit is framed in red; the first one's
    // problem is said below the fields.
    const Id3v1Fields values = Values();
    QString first;
    for (const FieldLabel& entry : kFieldLabels) {
        const auto problem = Id3v1FieldProblem(values, entry.part);
        QLineEdit* field = Field(entry.part);
        field->setStyleSheet(problem ? kInvalidStyle : QString());
        field->setToolTip(problem ? QString::fromStdString(*problem) : QString());
        if (problem && first.isEmpty()) {
            first = QString::fromStdString(*problem);
        }
    }
    hint_->setText(first);
    update_->setEnabled(first.isEmpty());
}

}  // namespace vandrel
