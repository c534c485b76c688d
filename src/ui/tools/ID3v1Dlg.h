#pragma once

#include <array>

#include <QDialog>
#include <QString>

#include "tools/TagEditing.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vandrel {

// The ID3v1 editor: "Title", "Artist", "Album", "Comment", "Year", "Track"
// and "Genre" of one file, or the values several files share. A text that
// the tag cannot hold (too long for its field, or with letters outside its
// character set) is marked while it is typed, and "Update" waits until it
// fits. Modal; GUI thread only.
class CID3v1Dlg : public QDialog {
    Q_OBJECT
public:
    explicit CID3v1Dlg(QWidget* parent = nullptr);

    // Fills the fields: texts as they are, the year unless it is -1, the
    // track when above 0, the genre's entry (the empty one for none).
    // `mixed` fields show a hint that the files differ there.
    void SetValues(const Id3v1Fields& values, const QString& caption,
                   const Id3v1PartSet& mixed = {});
    // The values as edited: year -1 and track 0 when their field is empty,
    // genre 255 for the empty entry.
    Id3v1Fields Values() const;

    QLineEdit* Field(Id3v1Part part) const;
    QComboBox* Genre() const { return genre_; }
    QPushButton* UpdateButton() const { return update_; }
    // What the dialog says about the values as they stand; empty when they fit.
    QString Hint() const;

private:
    void CheckValues();

    std::array<QLineEdit*, kId3v1PartCount> fields_{};  // no field for the genre
    QComboBox* genre_ = nullptr;
    QLabel* hint_ = nullptr;
    QPushButton* update_ = nullptr;
};

}  // namespace vandrel
