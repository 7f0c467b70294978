#include "HintPane.h"

namespace velmora {

const QString& HintPane::Heading() {
    static const QString heading = QStringLiteral("F1 to Help:");
    return heading;
}

const QString& HintPane::StartupHint() {
    static const QString hint = QStringLiteral(
        "Before you fill out connection properties, Please confirm that your ODBC/OLEDB config "
        "is true !");
    return hint;
}

HintPane::HintPane(QWidget* parent) : QTextEdit(parent) {
    setReadOnly(true);
    setAcceptRichText(false);
    QFont bold = font();
    bold.setBold(true);
    bold.setPointSize(12);
    setFont(bold);
    QPalette colours = palette();
    colours.setColor(QPalette::Text, QColor(255, 0, 0));
    setPalette(colours);
    ShowHint(StartupHint());
}

void HintPane::ShowHint(const QString& text) {
    hint_ = text;
    setPlainText(Heading() + QLatin1Char('\n') + text);
}

}  // namespace velmora
