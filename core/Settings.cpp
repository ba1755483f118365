#include "core/Settings.h"

#include <fstream>

#include <QCoreApplication>

namespace {
const char* const kSettingsFileName = "settings.txt";
}

Settings::Settings()
{
    if (!load())
        setDefaults();
}

Settings::~Settings()
{
    save();
}

bool Settings::load()
{
    std::ifstream file(kSettingsFileName, std::ios::in | std::ios::binary);
    if (!file.is_open())
        return false;
    std::string line;
    std::getline(file, line);
    // A file written on a platform with CR LF line ends reads back the same.
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    imageFolderPath = line;
    return true;
}

bool Settings::save()
{
    std::ofstream file(kSettingsFileName, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!file.is_open())
        return false;
    file << imageFolderPath << '\n';
    return true;
}

void Settings::setDefaults()
{
    imageFolderPath = QCoreApplication::applicationDirPath().toUtf8().toStdString();
}
