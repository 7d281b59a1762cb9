import QtQuick
import Kavrano.Ui
import Kavrano.Platform

// A round button over the map: 48 px, legible over any imagery. Its own file, not
// an inline component: Qt 6.4 never trusts a cached compile of a view holding
// one, so the measuring screen was compiled afresh at every start.
PlainButton {
    id: mapButton
    property color fill: Theme.glass
    property color tint: Theme.ink
    property url iconSource
    width: Theme.mapButtonSize
    height: Theme.mapButtonSize
    Rectangle {
        anchors.fill: parent
        radius: width / 2
        color: mapButton.fill
        // The fill carries its own alpha (the idle clear button's grey at 0.75).
        opacity: mapButton.down ? 0.75 : 1
        border.color: mapButton.activeFocus ? Theme.accent : Qt.rgba(0, 0, 0, 0.1)
        border.width: mapButton.activeFocus ? 2 : 1
        Behavior on color { ColorAnimation { duration: 150 } }
    }
    TintedIcon {
        anchors.centerIn: parent
        width: 22
        height: 22
        source: mapButton.iconSource
        color: mapButton.tint
    }
}
