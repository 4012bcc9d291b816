#pragma once

#include "PelorinsKit/model/EntityModel.h"
#include "Platform/core/DataFolders.h"

#include <QGuiApplication>
#include <QTemporaryDir>
#include <cstdlib>
#include <memory>

// What every fuzz target needs once per process: an offscreen application, a data folder of
// its own and the store's model.
struct FuzzEnvironment
{
    FuzzEnvironment()
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        application = new QGuiApplication(argc, argv);
        folder = new QTemporaryDir;
        DataFolders::setBaseFolderForTesting(folder->path());
        QString error;
        model = EntityModel::currentModel(&error);
        if (!model)
            std::abort();
    }

    int argc = 1;
    char name[16] = "fuzz";
    char* argv[2] = {name, nullptr};
    QGuiApplication* application = nullptr;
    QTemporaryDir* folder = nullptr;
    std::shared_ptr<const ManagedObjectModel> model;
};
