// SPDX-License-Identifier: MIT
#include "core/relocation/disposition_rules.h"

#include "core/context/mdl_pub_var.h"
#include "core/context/sql_literal.h"

namespace corvan {

namespace {
const QString Shown = QStringLiteral("Y");
const QString Picture = QStringLiteral("pic");
const QString Kept = QStringLiteral("C");
} // namespace

QString DispositionRules::statement(const QString& net)
{
    if (networkName(net).isEmpty())
        return {};
    const QString letter = net.toUpper();
    return QStringLiteral("select g_name,g_value from gui_option where g_name ='") + letter +
           QStringLiteral("BtsDispatchModify'") + QStringLiteral(" or g_name like '") + letter +
           QStringLiteral("BtsDispatch%'");
}

QString DispositionRules::marker(const QString& net, const QString& gName)
{
    const QString letter = net.toUpper();
    if (gName == letter + QStringLiteral("BtsDispatchModify"))
        return QStringLiteral("M:");
    if (gName == letter + QStringLiteral("BtsDispatchRemove"))
        return QStringLiteral("R:");
    if (gName == letter + QStringLiteral("BtsDispatchChangeless"))
        return QStringLiteral("C:");
    if (gName == letter + QStringLiteral("BtsDispatchNoDisplay"))
        return QStringLiteral("N:");
    return QStringLiteral("O:");
}

QStringList DispositionRules::read(const mdlPubVar& context, const QString& net, bool* ok)
{
    if (ok)
        *ok = false;
    auto rs = context.db().open(statement(net));
    if (!rs)
        return {};
    if (ok)
        *ok = true;
    QStringList rules;
    rules.reserve(rs->RecordCount());
    for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext())
        rules.append(marker(net, rs->Text(QStringLiteral("g_name"))) + rs->Text(QStringLiteral("g_value")));
    return rules;
}

bool DispositionRules::isShown(const AttrTable& table, int field)
{
    return table.at(AttrTable::Display, field) == Shown && table.at(AttrTable::DataType, field) != Picture;
}

QStringList DispositionRules::dispose(const AttrTable& table, const QStringList& rules)
{
    QStringList letters;
    letters.reserve(table.FieldCount());
    for (int j = 1; j <= table.FieldCount(); ++j) {
        if (!isShown(table, j)) {
            letters.append(QString());
            continue;
        }
        // A plain substring test, marker included: a name that is part of another listed
        // name matches too, and the first matching row wins.
        const QString name = table.at(AttrTable::FieldName, j);
        QString letter = Kept;
        for (const QString& rule : rules) {
            if (rule.contains(name)) {
                letter = rule.left(1);
                break;
            }
        }
        letters.append(letter);
    }
    return letters;
}

} // namespace corvan
