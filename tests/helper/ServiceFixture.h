#pragma once

#include "helper/HelperService.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace kestravin::testing {

// Ticks only when the test says so.
class ManualTicker final : public HelperTicker {
public:
    void start(std::chrono::milliseconds, std::function<void()> tick) override { m_tick = std::move(tick); }
    void stop() override { m_tick = nullptr; }
    bool isActive() const override { return static_cast<bool>(m_tick); }
    void fire()
    {
        if (m_tick)
            m_tick();
    }

private:
    std::function<void()> m_tick;
};

// A service on temporary hosts and configuration files, with a clock, a DNS
// flush counter and a log the test controls. Times are UTC unless a test
// names another zone.
class ServiceFixture : public ::testing::Test {
protected:
    using Options = HelperService::Options;

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        hostsPath = dir.filePath(QStringLiteral("hosts"));
        configPath = dir.filePath(QStringLiteral("state/helper-config.json"));
        writeHosts("127.0.0.1 localhost\n");
        now = at(QStringLiteral("2026-03-02T10:00:00")); // a Monday
    }

    // Builds (or rebuilds, as a restart would) the service on the same files.
    // Without a zone the service follows the system's.
    HelperService& start(bool monitor = false, std::optional<QTimeZone> zone = QTimeZone::utc())
    {
        service.reset();
        Options options;
        options.hostsPath = hostsPath;
        options.configPath = configPath;
        options.currentDate = [this] { return now; };
        options.dnsFlush = [this] { ++flushes; };
        options.log = [this](const QString& line) { lines.append(line); };
        auto owned = std::make_unique<ManualTicker>();
        ticker = owned.get();
        options.ticker = std::move(owned);
        options.timeZone = zone;
        options.exitProcess = [this](int code) { exitCodes.append(code); };
        options.monitor = monitor;
        service = std::make_unique<HelperService>(std::move(options));
        return *service;
    }

    static Instant at(const QString& isoUtc, QTimeZone zone = QTimeZone::utc())
    {
        QDateTime time = QDateTime::fromString(isoUtc, Qt::ISODate);
        time = QDateTime(time.date(), time.time(), zone);
        return Instant::fromUnixSeconds(static_cast<double>(time.toSecsSinceEpoch()));
    }

    void writeHosts(const QByteArray& bytes)
    {
        QFile file(hostsPath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    QByteArray hosts() const
    {
        QFile file(hostsPath);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }
    bool sectionPresent() const { return hosts().contains("# Kestravin START"); }

    QJsonObject storedConfig() const
    {
        QFile file(configPath);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QJsonDocument::fromJson(file.readAll()).object();
    }

    // A schedule of one range on every weekday.
    static HelperScheduleConfig weekdays(
        qint64 startHour, qint64 startMinute, qint64 endHour, qint64 endMinute, QStringList sites)
    {
        QMap<QString, HelperDaySchedule> days;
        for (const char* key : { "sunday", "monday", "tuesday", "wednesday", "thursday", "friday", "saturday" })
            days.insert(QString::fromLatin1(key), HelperDaySchedule(true, startHour, startMinute, endHour, endMinute));
        return HelperScheduleConfig(days, true, std::move(sites));
    }

    // Hands the schedule to the service as the application does.
    void giveSchedule(const HelperScheduleConfig& config)
    {
        const HelperReply reply = service->updateSchedule(config.toJsonBytes(), config.blockedSites);
        ASSERT_TRUE(reply.success) << reply.message.toStdString();
    }

    QTemporaryDir dir;
    QString hostsPath;
    QString configPath;
    Instant now;
    int flushes = 0;
    QStringList lines;
    QList<int> exitCodes;
    ManualTicker* ticker = nullptr;
    std::unique_ptr<HelperService> service;
};

} // namespace kestravin::testing
