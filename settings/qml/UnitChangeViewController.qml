pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import Kavrano.Settings.Controllers
import Kavrano.Ui

// Every unit of one kind; touching a row chooses it.
Page {
    id: root

    required property UnitChangeViewController controller

    title: root.controller.title
    background: Rectangle { color: Theme.groupedBackground }

    ListView {
        id: tableView
        objectName: "tableView"
        anchors.fill: parent
        clip: true
        model: root.controller.symbols

        Accessible.role: Accessible.List
        Accessible.name: root.controller.title

        delegate: UnitTableViewCell {
            required property int index
            required property string modelData
            width: ListView.view.width
            symbol: modelData
            checkMark: modelData === root.controller.selectedSymbol
            onClicked: root.controller.selectRow(index)
        }
    }
}
