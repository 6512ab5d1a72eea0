#pragma once

// What a model notification is about and what changed. Each field type belongs to one data type.

namespace lumo::ui {

enum DataType : int {
    DataTypeProject = 0,
    DataTypeInterface = 1,
    DataTypeCanvas = 2,
};

enum FieldType : int {
    // DataTypeProject
    FieldTypeProjectOpened = 0,
    FieldTypeRefreshAll = 1,
    FieldTypeImageAdded = 2, // sent with the image layer's id
    FieldTypeAutoExportImage = 3, // sent with the image layer's id
    FieldTypeForegroundUniqueness = 5,
    FieldTypeHotFolderState = 6,
    FieldTypeForegroundEnabled = 7,
    FieldTypeBackgroundEnabled = 8,
    // DataTypeInterface
    FieldTypeGreetingCard = 4,
    FieldTypeCurrentToolset = 9,
    FieldTypeToolsetState = 10,
    FieldTypeToolsetPosition = 11,
    FieldTypeCurrentLayerType = 12,
    FieldTypeNavigationButtons = 13,
    FieldTypeDockFloating = 14,
    // DataTypeCanvas
    FieldTypeFocusCanvas = 15,
    FieldTypeCanvasScale = 16,
    FieldTypeCanvasZoom = 17,
    FieldTypeLayerTransform = 18, // sent with the layer's id
    FieldTypeTextItem = 19, // sent with the text item's id
};

} // namespace lumo::ui
