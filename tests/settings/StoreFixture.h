#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Each test gets its own configuration folder; the store's file is written
// and read there only.
class StoreFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        qputenv("XDG_CONFIG_HOME", m_dir.path().toUtf8());
        qunsetenv("http_proxy");
        qunsetenv("HTTP_PROXY");
    }

    QString storePath() const { return m_dir.path() + "/Brenmark/Linguaro.reg"; }

    void writeFile(const QByteArray& bytes) const
    {
        QDir().mkpath(m_dir.path() + "/Brenmark");
        QFile f(storePath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    QByteArray fileBytes() const
    {
        QFile f(storePath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // A store file holding our key with the given value lines.
    void writeKey(const QByteArray& valueLines) const
    {
        writeFile("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Brenmark\\Linguaro]\n" + valueLines);
    }

    QTemporaryDir m_dir;
};
