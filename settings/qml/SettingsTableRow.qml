import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Kavrano.Settings.Controllers
import Kavrano.Ui

// A row of the settings table, telling the controller its section and index.
// Its own file, not an inline component: Qt 6.4 never trusts a cached compile of
// a view holding one.
ItemDelegate {
    id: tableRow
    required property SettingsViewController controller
    property int section
    property int rowIndex
    property bool opensScreen: false   // shows a chevron, as rows that lead on do
    Layout.fillWidth: true
    height: Theme.rowHeight
    font.pixelSize: 17
    Accessible.name: text
    focusPolicy: Qt.StrongFocus   // reached with Tab, as every button
    rightPadding: opensScreen ? 40 : 16
    indicator: Label {
        objectName: "chevron"
        visible: tableRow.opensScreen
        x: tableRow.width - width - 16
        y: (tableRow.height - height) / 2
        text: "\u203a"
        font.pixelSize: 24
        color: Theme.separator
        Accessible.ignored: true
    }
    onClicked: controller.selectRow(section, rowIndex)
}
