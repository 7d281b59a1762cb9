import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material
import QtQuick.Layouts

// Our feedback form: does the user enjoy the app? The host takes it down.
Item {
    id: root

    required property QtObject controller   // FeedbackFormViewController

    Rectangle {
        anchors.fill: parent
        color: "#66000000"
        MouseArea { anchors.fill: parent }
    }

    Pane {
        objectName: "feedbackCard"
        anchors.centerIn: parent
        width: Math.min(parent.width - 48, 320)
        padding: 24
        background: Rectangle {
            radius: 16
            color: "#fbfbfd"
            border.color: "#22000000"
        }

        ColumnLayout {
            width: parent.width
            spacing: 16

            Label {
                Layout.fillWidth: true
                text: "Do you enjoy " + root.controller.applicationName + "?"
                font.pixelSize: 20
                font.weight: Font.DemiBold
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.Wrap
                color: "#1c1c1e"
            }
            Label {
                Layout.fillWidth: true
                text: "Your answer helps us make " + root.controller.applicationName + " better."
                font.pixelSize: 14
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.Wrap
                color: "#3a3a3c"
            }
            Button {
                objectName: "positiveButton"
                Layout.fillWidth: true
                Layout.preferredHeight: 52
                text: "Yes, I love it"
                highlighted: true
                Material.accent: Material.Blue
                Accessible.name: text
                font.capitalization: Font.MixedCase
                // Drawn here: the style's raised buttons need a GPU for their shadow.
                background: Rectangle {
                    radius: 10
                    color: parent.highlighted ? (parent.pressed ? Qt.darker(parent.Material.accentColor, 1.2)
                                                  : parent.Material.accentColor)
                                      : (parent.pressed ? "#14000000" : "transparent")
                    opacity: parent.enabled ? 1 : 0.4
                }
                onClicked: root.controller.answerPositive()
            }
            Button {
                objectName: "negativeButton"
                Layout.fillWidth: true
                Layout.preferredHeight: 52
                text: "Not really"
                flat: true
                Accessible.name: text
                font.capitalization: Font.MixedCase
                // Drawn here: the style's raised buttons need a GPU for their shadow.
                background: Rectangle {
                    radius: 10
                    color: parent.highlighted ? (parent.pressed ? Qt.darker(parent.Material.accentColor, 1.2)
                                                  : parent.Material.accentColor)
                                      : (parent.pressed ? "#14000000" : "transparent")
                    opacity: parent.enabled ? 1 : 0.4
                }
                onClicked: root.controller.answerNegative()
            }
        }
    }
}
