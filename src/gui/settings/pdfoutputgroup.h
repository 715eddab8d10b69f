#pragma once

// The settings window's group for PDF outputs: protection, watermark and the merge of a
// run's PDFs. It shows and returns a PdfOptions; reading and writing the file is the
// window's.

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QSpinBox>

#include "core/pdfoptions.h"

namespace quorv {

class PdfOutputGroup : public QGroupBox {
    Q_OBJECT
  public:
    explicit PdfOutputGroup(QWidget* parent = nullptr);

    void showOptions(const PdfOptions& options);
    PdfOptions options() const;

    QLineEdit* openPassword;
    QLineEdit* permissionsPassword;
    QCheckBox* noPrint;
    QCheckBox* noCopy;
    QCheckBox* noChange;
    QLineEdit* watermarkText;
    QSpinBox* watermarkSize;
    QSpinBox* watermarkOpacity;
    QCheckBox* watermarkTiled;
    QCheckBox* merge;
    QLineEdit* mergeName;
    QCheckBox* keepParts;
};

}  // namespace quorv
