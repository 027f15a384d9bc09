#pragma once
// The host's settings: an INI file first, then the command line over it.
#include <QMap>
#include <QSize>
#include <QString>
#include <QStringList>

// The sizes --screen accepts, in pixels.
inline constexpr int MinScreenSide = 200;
inline constexpr int MaxScreenSide = 8192;

struct HostOptions {
    QString configFile;
    int year = 0;                      // 0: the demo data's year
    QString unit;                      // empty: the demo data's default unit
    QMap<int, QString> unitFields;     // field index -> value; "null" makes it Null
    QString office;
    QMap<QString, QString> params;     // system parameter name -> value
    QString connection;                // empty: the demo database in the user's data folder
    quint32 token = 1;
    QString module;                    // empty: beside the program
    QString script;                    // empty: interactive; "-": standard input
    QSize screen;                      // empty: the real screen
    QString createDemo;
    int records = -1;                  // -1: the generator's default
    QString traceSql;
    QString operatorName;              // empty: the system user's name
    bool upgrade = false;              // --upgrade: bring the database up to date, then quit
    bool noUpgrade = false;            // --no-upgrade: leave an embedded database as it is
    bool help = false;
    bool version = false;              // --version: name and version, then quit
};

// The system parameters the host knows, in the order --help lists them.
const QStringList& HostParamNames();

// Reads the INI file named by --config (if any), then the options over it.
// False with a message (Chinese, for the user) on a bad option or value.
bool ParseHostOptions(const QStringList& args, HostOptions& options, QString& error);

QString HostHelpText();
QString HostVersionText();
