pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import Kavrano.Measure.Controllers

// The place search's results: one row per suggestion of the controller.
Pane {
    id: root

    required property SearchViewController controller

    padding: 0
    background: Rectangle {
        color: root.palette.base
    }

    ListView {
        id: tableView
        objectName: "tableView"
        anchors.fill: parent
        clip: true
        model: root.controller.suggestions
        topMargin: root.controller.contentInsetTop
        // Half the screen, so the last rows can scroll up from under the keyboard.
        bottomMargin: Screen.height / 2
        boundsBehavior: Flickable.StopAtBounds
        Accessible.role: Accessible.List
        Accessible.name: "Search results"

        delegate: SearchTableViewCell {
            required property int index
            required title
            required subtitle

            width: ListView.view.width
            height: root.controller.rowHeight
            onClicked: root.controller.didSelectRow(index)
        }

        ScrollIndicator.vertical: ScrollIndicator {}
    }
}
