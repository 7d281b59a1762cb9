import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Kavrano.Ui

// One unit: its symbol, and a check mark on the chosen one.
ItemDelegate {
    id: cell

    property string symbol
    property bool checkMark: false

    height: 60
    padding: 0
    leftPadding: 16
    rightPadding: 16

    // The button's own state and the accessible one agree: the button writes
    // its own over the accessible one once assistive technology is active.
    checked: cell.checkMark
    text: cell.symbol
    Accessible.role: Accessible.RadioButton
    focusPolicy: Qt.StrongFocus   // reached with Tab, as every button
    Accessible.name: cell.symbol
    Accessible.checkable: true
    Accessible.checked: cell.checkMark

    contentItem: RowLayout {
        spacing: 8
        Label {
            objectName: "unitLabel"
            Layout.fillWidth: true
            text: cell.symbol
            font.pixelSize: 17
            verticalAlignment: Text.AlignVCenter
        }
        Label {
            objectName: "checkMark"
            text: "\u2713"
            visible: cell.checkMark
            font.pixelSize: 20
            color: Theme.checkMark
            Accessible.ignored: true
        }
    }
}
