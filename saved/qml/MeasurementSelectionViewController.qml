pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Dialogs
import QtQuick.Layouts
import Kavrano.Saved.Controllers
import Kavrano.Ui

// The saved measurements by title; an empty-state note when there are none.
Page {
    id: root

    required property MeasurementSelectionViewController controller

    title: root.controller.title
    background: Rectangle { color: Theme.groupedBackground }

    ListView {
        id: tableView
        objectName: "tableView"
        anchors.fill: parent
        clip: true
        visible: !root.controller.emptyStateVisible
        model: root.controller.rows

        Accessible.role: Accessible.List
        Accessible.name: root.controller.title

        delegate: MeasurementTableViewCell {
            required property int index
            required title
            width: ListView.view.width
            onClicked: root.controller.selectRow(index)
            onDeleteRequested: root.controller.deleteRow(index)
            onExportRequested: {
                exportDialog.row = index
                exportDialog.selectedFile = root.controller.suggestedExportFile(index)
                exportDialog.open()
            }
        }
    }

    // The desktop's own save dialog where it has one; the format follows the
    // extension of the name chosen.
    FileDialog {
        id: exportDialog
        objectName: "exportDialog"

        property int row: -1

        // The view is made before it is put in the window, so the dialog would
        // find none by itself.
        parentWindow: root.Window.window
        title: "Export Measurement"
        acceptLabel: "Save"
        fileMode: FileDialog.SaveFile
        nameFilters: ["GeoJSON (*.geojson *.json)", "KML (*.kml)", "GPX (*.gpx)", "CSV (*.csv)"]
        // A name typed without an extension takes the chosen filter's.
        defaultSuffix: selectedNameFilter.extensions.length > 0 ? selectedNameFilter.extensions[0] : "geojson"
        onAccepted: root.controller.exportRow(row, selectedFile)
    }

    ColumnLayout {
        id: emptyStateView
        objectName: "emptyStateView"
        anchors.centerIn: parent
        width: parent.width - 64
        spacing: 8
        visible: root.controller.emptyStateVisible

        Label {
            Layout.fillWidth: true
            text: root.controller.emptyStateTitle
            textFormat: Text.PlainText
            Accessible.name: text
            font.pixelSize: 22
            font.weight: Font.DemiBold
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            color: Theme.ink
        }
        Label {
            Layout.fillWidth: true
            text: root.controller.emptyStateText
            textFormat: Text.PlainText
            Accessible.name: text
            font.pixelSize: 15
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            color: Theme.footnoteInk
        }
    }
}
