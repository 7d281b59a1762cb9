import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// A screen still to come: its title in the bar and a short note.
Page {
    id: root

    required property QtObject controller   // PlaceholderViewController

    title: root.controller.title
    background: Rectangle { color: "#f2f2f7" }

    ColumnLayout {
        anchors.centerIn: parent
        width: parent.width - 64
        spacing: 8

        Label {
            Layout.fillWidth: true
            text: root.controller.title
            font.pixelSize: 22
            font.weight: Font.DemiBold
            horizontalAlignment: Text.AlignHCenter
            color: "#1c1c1e"
        }
        Label {
            Layout.fillWidth: true
            text: "This screen is coming in a later version."
            font.pixelSize: 15
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            color: "#6c6c70"
        }
    }
}
