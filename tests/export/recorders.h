#pragma once

// Test stand-ins for what the table window gives the report writer.

#include "app/core/errorreport.h"
#include "export/report/structurereport.h"

#include <QList>
#include <QStringList>

struct Reported {
    QString location;
    int label;
    QString description;
};

class RecordingSink : public app::ErrorSink {
public:
    QList<Reported> reports;
    void report(const QString &location, int label, const QString &description) override
    {
        reports.append({location, label, description});
    }
    // "Form2.generateStructure 158" for each report, in order.
    QStringList where() const
    {
        QStringList result;
        for (const Reported &r : reports)
            result.append(r.location.section(QLatin1Char('.'), -2).trimmed() + QLatin1Char(' ')
                          + QString::number(r.label));
        return result;
    }
};

class RecordingFeedback : public report::ReportFeedback {
public:
    QStringList messages;
    QList<bool> busy;
    int eventRuns = 0;
    void setBusy(bool on) override { busy.append(on); }
    void letEventsRun() override { ++eventRuns; }
    void message(const QString &text) override { messages.append(text); }
};
