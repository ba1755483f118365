#pragma once

#include <string>

#include "core/Singleton.h"

// The one value kept between runs: the image folder, stored as UTF-8 in
// "settings.txt" in the working directory. Read on construction, written on
// destruction.
class Settings : public Singleton<Settings> {
public:
    Settings();
    ~Settings() override;

    bool load();
    bool save();
    void setDefaults();

    std::string imageFolderPath;
};
