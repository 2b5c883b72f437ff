// SPDX-License-Identifier: MIT
#pragma once

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QStringList>

#include "core/context/mdl_pub_var.h"
#include "fixture.h"
#include "test_database.h"
#include "test_host.h"
#include "wizard_fixture.h"

namespace corvan::test {

// What a procedure without windows needs: a fresh database with the small province of
// Fixture (or, with Wizard, everything a relocation of G BTS 101 needs), a host around
// it, and the component's context holding the host's services. The statements sent are
// recorded from the end of the set-up on.
template <bool Wizard = false> class ContextTestOf : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (Wizard)
            WizardFixture::load(db);
        else
            Fixture::load(db);
        ASSERT_EQ(context.setServices(host.objectArray()), mdlPubVar::Services::Stored);
        host.recorder()->clear();
    }

    QStringList sent() const { return host.recorder()->statements(); }
    // The statements sent that begin with the text.
    QStringList sentLike(const QString& start) const
    {
        return sent().filter(QRegularExpression(QLatin1Char('^') + QRegularExpression::escape(start)));
    }

    TestDatabase db;
    TestHost host{db};
    mdlPubVar context;
};

using ContextTest = ContextTestOf<false>;
using WizardContextTest = ContextTestOf<true>;

} // namespace corvan::test
