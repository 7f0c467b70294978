// ConditionDialog: the "Migration Condition" dialog of a source table: the SQL WHERE clause that
// limits which rows a migration copies. The editor holds at most 1,024 characters; "Test" counts
// the rows the condition selects on the source, "Save" (enabled only by a successful Test)
// stores the condition as it was tested, "Close" leaves without writing. The state machine is
// the core's ConditionDialogModel; this dialog only shows it.
//
// Interface thread only.
#pragma once

#include <QDialog>

#include "Converters/Conditions.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace velmora {

class ConditionDialog : public QDialog {
    Q_OBJECT
public:
    explicit ConditionDialog(ConditionDialogModel& model, QWidget* parent = nullptr);

    QLabel* queryLabel() const { return query_; }
    QPlainTextEdit* editor() const { return editor_; }
    QPlainTextEdit* resultBox() const { return result_; }
    QPushButton* testButton() const { return test_; }
    QPushButton* saveButton() const { return save_; }
    QPushButton* closeButton() const { return close_; }

private:
    void OnEdited();
    void ShowState();

    ConditionDialogModel& model_;
    QLabel* query_;
    QPlainTextEdit* editor_;
    QPlainTextEdit* result_;
    QPushButton* test_;
    QPushButton* save_;
    QPushButton* close_;
};

}  // namespace velmora
