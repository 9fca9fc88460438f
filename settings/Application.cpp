#include "settings/Application.h"

#include "alarms/AlarmControl.h"
#include "device/PortControl.h"
#include "display/MainDialog.h"
#include "mqtt/MqttPublisher.h"
#include "settings/IniFile.h"
#include "settings/MainDialogSettings.h"
#include "settings/PosixFileLayer.h"
#include "settings/SettingsTable.h"

#include <QGuiApplication>
#include <QScreen>

Application::Application(IniFileLayer* files, ModalRun run)
    : files_(files)
    , run_(std::move(run))
{
}

bool Application::Run()
{
    PosixFileLayer defaultFiles;
    IniFile ini(4, files_ != nullptr ? *files_ : defaultFiles);
    const bool opened = settingsFile_.empty()
        ? ini.Open(kSettingsFileName, /*saveOnClose=*/true, /*createIfMissing=*/true,
            /*ignoreCase=*/true, /*backupOnSave=*/false)
        : ini.Load(settingsFile_, /*saveOnClose=*/true, /*createIfMissing=*/true,
            /*ignoreCase=*/true, /*backupOnSave=*/false);
    // A file asked for by name that cannot be used would quietly lose
    // whatever is set in this run: no window then.
    settingsRefused_ = !opened && !settingsFile_.empty();
    if (settingsRefused_)
        return false;
    MainDialog dialog;
    MainDialogSettings access(dialog);
    // The program's own store that cannot be opened reads nothing and writes
    // nothing: the window keeps its construction defaults.
    if (opened) {
        LoadSettings(ini, access);
        LoadMqttSettings(ini, dialog.mqtt().settings);
        LoadAlarmSettings(ini, dialog.alarms().settings);
    }
    if (windowHook_)
        windowHook_(dialog);

    if (run_)
        run_(dialog);
    else
        dialog.exec();

    dialog.portControl().DeleteSerialPort();
    QSize screen(1024, 768);
    if (const QScreen* primary = QGuiApplication::primaryScreen())
        screen = primary->size();
    SaveSettings(ini, access, screen.width(), screen.height());
    // Only once the user has set it up: otherwise the file stays as it was.
    const MqttSettings& mqtt = dialog.mqtt().settings;
    SaveMqttSettings(ini, mqtt);
    if (dialog.alarms().settingsConfirmed())
        SaveAlarmSettings(ini, dialog.alarms().settings);
    ini.SetOwnerOnly(!mqtt.password.empty());
    return false;
}
