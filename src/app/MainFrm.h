#pragma once

#include <QMainWindow>

namespace quillon {

/// The main window: scan locations, report type, report pane.
class MainFrm : public QMainWindow {
    Q_OBJECT
public:
    explicit MainFrm(QWidget* parent = nullptr);
};

} // namespace quillon
