#pragma once

#include "preview/live_preview.h"

#include <QObject>

/// The plugin's entry: Qt's plugin loader finds it by its interface.
class WebLivePreviewPlugin : public QObject, public LivePreviewFactory {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID LivePreviewFactory_iid)
    Q_INTERFACES(LivePreviewFactory)
public:
    LivePreview* create(QWidget* parent) override;
};
