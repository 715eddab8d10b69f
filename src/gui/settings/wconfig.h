#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>

#include "engines/desktop/desktop.h"
#include "gui/settings/pdfoutputgroup.h"

namespace quorv {

// The settings window: edits the tool, format and behaviour settings. It keeps no data
// of its own; it works on the global settings and the settings file at profile.
class wconfig : public QDialog {
    Q_OBJECT
  public:
    explicit wconfig(Desktop& desktop, QWidget* parent = nullptr);

    // Loads the settings into the globals and the controls; returns 1.
    int xianshi();

    // Save, restore defaults, and the three choosers.
    void cb_6_clicked();
    void cb_1_clicked();
    void cb_3_clicked();
    void cb_4_clicked();
    void cb_2_clicked();

    QLabel *st_1, *st_2, *st_3, *st_4, *st_5, *st_6, *st_7, *st_8;
    QLineEdit *sle_1, *sle_2, *sle_3, *sle_4, *sle_5;
    QSpinBox* em_1;
    QLabel* st_9;
    QSpinBox* em_2;  // office instances run at once
    QComboBox *ddlb_1, *ddlb_2;
    QLabel* st_10;
    QComboBox* ddlb_3;  // PDF/A part of the PDF outputs: none, 1b, 2b, 3b
    QPushButton *cb_1, *cb_2, *cb_3, *cb_4, *cb_6;
    QCheckBox* cbx_1;
    QCheckBox* cbx_2;  // go on past a file that raises an error
    QCheckBox* cbx_3;  // follow links in documents to local files
    QLabel* st_11;
    QPlainTextEdit* mle_1;  // open passwords, one a line

    // Protection, watermark and merge of the PDF outputs.
    PdfOutputGroup* pdfGroup;

  private:
    void chooseFolder(const QString& title, QLineEdit* target);
    Desktop& desktop_;
    int shownPool_ = 0;
};

// Opens the settings window modally over the main window.
void openSettingsWindow(Desktop& desktop, QWidget* parent);

}  // namespace quorv
