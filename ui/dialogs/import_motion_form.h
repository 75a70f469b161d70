// File > Import Motion: the model's nodes beside the source's bones, each node's bone
// changeable (as the Mirror dialog changes partners), the bones nothing takes, and how the
// motion is sampled and kept.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "interop/motion_import.h"

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QTableWidget;

namespace vorlin {

class TImportMotionForm : public QDialog {
public:
    explicit TImportMotionForm(QWidget* parent);
    // The model's nodes, the source's bones, the mapping found, the source's animations (the
    // one taken first) and its default frame rate.
    void ShowMapping(const QString& source, const std::vector<std::string>& nodes,
                     const std::vector<std::string>& bones, const TBoneMap& map,
                     const std::vector<std::string>& animations, int animation, double fps);
    // The mapping and options as the user left them.
    TImportOptions EditedOptions() const;
    int Animation() const;

private:
    void ShowUnused();
    QLabel* LBSource;
    QComboBox* CBAnimation;
    QTableWidget* LVMapping;
    QLabel* LBUnmapped;
    QLabel* LBUnused;
    QDoubleSpinBox* EFps;
    QComboBox* CBRoot;
    QDoubleSpinBox* ETolerance;
    QDoubleSpinBox* EToleranceUnits;
    std::vector<std::string> nodes_, bones_;
    TBoneMap map_;
};

} // namespace vorlin
