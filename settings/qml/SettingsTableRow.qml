import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// A row of the settings table, telling the controller its section and index.
// Its own file, not an inline component: Qt 6.4 never trusts a cached compile of
// a view holding one.
ItemDelegate {
    id: tableRow
    required property QtObject controller   // SettingsViewController
    property int section
    property int rowIndex
    Layout.fillWidth: true
    height: 52
    font.pixelSize: 17
    Accessible.name: text
    onClicked: controller.selectRow(section, rowIndex)
}
