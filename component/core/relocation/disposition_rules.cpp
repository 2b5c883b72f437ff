// SPDX-License-Identifier: MIT
#include "core/relocation/disposition_rules.h"

#include "core/context/mdl_pub_var.h"
#include "core/context/sql_literal.h"

namespace corvan {

namespace {

const QString Shown = QStringLiteral("Y");
const QString Picture = QStringLiteral("pic");

// Each option row's name after the network letter, and what it makes of the fields it names.
const std::pair<QString, Disposition> Rows[] = {
    {QStringLiteral("BtsDispatchModify"), Disposition::Modify},
    {QStringLiteral("BtsDispatchRemove"), Disposition::Remove},
    {QStringLiteral("BtsDispatchChangeless"), Disposition::Keep},
    {QStringLiteral("BtsDispatchNoDisplay"), Disposition::NoDisplay}};

QString markerOf(Disposition disposition)
{
    return QChar::fromLatin1(char(disposition)) + QLatin1Char(':');
}

// The disposition a rule stands for, by its first letter.
Disposition dispositionOf(const QString& rule)
{
    for (Disposition known : {Disposition::Modify, Disposition::Remove, Disposition::Keep,
                              Disposition::NoDisplay, Disposition::Other})
        if (rule.startsWith(QChar::fromLatin1(char(known))))
            return known;
    return Disposition::Other;
}

bool mayShow(const BtsField& field)
{
    return field.displayed && field.type != Picture;
}

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
    for (const auto& [row, disposition] : Rows)
        if (gName == letter + row)
            return markerOf(disposition);
    return markerOf(Disposition::Other);
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

void DispositionRules::dispose(BtsFields& fields, const QStringList& rules)
{
    for (BtsField& field : fields) {
        field.disposition = Disposition::Never;
        if (!mayShow(field))
            continue;
        // A plain substring test, marker included: a name that is part of another listed
        // name matches too, and the first matching row wins.
        field.disposition = Disposition::Keep;
        for (const QString& rule : rules) {
            if (rule.contains(field.name)) {
                field.disposition = dispositionOf(rule);
                break;
            }
        }
    }
}

} // namespace corvan
