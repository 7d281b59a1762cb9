import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Kavrano.Settings.Controllers
import Kavrano.Ui

// The settings table: usage data, the two units, the maker's other applications.
Page {
    id: root

    required property SettingsViewController controller

    title: root.controller.title
    background: Rectangle { color: Theme.groupedBackground }

    Flickable {
        anchors.fill: parent
        contentHeight: table.implicitHeight + 32
        clip: true

        ColumnLayout {
            id: table
            width: parent.width
            y: 16
            spacing: 8

            Pane {
                Layout.fillWidth: true
                padding: 0
                RowLayout {
                    anchors.fill: parent
                    anchors.leftMargin: 16
                    anchors.rightMargin: 16
                    Label {
                        Layout.fillWidth: true
                        text: "Send usage data"
                        font.pixelSize: 17
                        Accessible.name: text
                    }
                    Switch {
                        id: usageSwitch
                        objectName: "usageSwitch"
                        checked: root.controller.sendUsageData
                        Accessible.name: "Send usage data"
                        // Slides only under the user's hand: the stored state is
                        // set as it is each time the screen opens.
                        property bool animated: false
                        onPressedChanged: if (pressed) animated = true
                        onToggled: root.controller.appUsageSwitchChanged(checked)
                        // Drawn here: the style's thumb is a shadowed layer that
                        // renderers without shaders leave out.
                        indicator: Rectangle {
                            implicitWidth: 51
                            implicitHeight: 31
                            x: usageSwitch.width - width - usageSwitch.rightPadding
                            y: (usageSwitch.height - height) / 2
                            radius: height / 2
                            color: usageSwitch.checked ? Theme.switchOn : Theme.switchOff
                            Behavior on color {
                                enabled: usageSwitch.animated
                                ColorAnimation { duration: 150 }
                            }
                            Rectangle {
                                width: 27
                                height: 27
                                radius: 13.5
                                y: 2
                                x: usageSwitch.checked ? parent.width - width - 2 : 2
                                color: "white"
                                border.color: Qt.rgba(0, 0, 0, 0.12)
                                Behavior on x {
                                    enabled: usageSwitch.animated
                                    NumberAnimation { duration: 150 }
                                }
                            }
                        }
                    }
                }
                implicitHeight: 52
            }
            Label {
                Layout.fillWidth: true
                Layout.leftMargin: 16
                Layout.rightMargin: 16
                wrapMode: Text.Wrap
                font.pixelSize: 13
                color: Theme.footnoteInk
                text: "Anonymous usage data helps improve the app."
                Accessible.name: text
            }
            Button {
                objectName: "seeMoreButton"
                Layout.leftMargin: 8
                flat: true
                text: "Privacy policy"
                Accessible.name: text
                onClicked: root.controller.seeMoreTapped()
            }

            ColumnLayout {
                Layout.fillWidth: true
                spacing: 0
                SettingsTableRow {
                    controller: root.controller
                    objectName: "lengthUnitLabel"
                    opensScreen: true
                    section: 1
                    rowIndex: 0
                    text: root.controller.lengthUnitText
                }
                SettingsTableRow {
                    controller: root.controller
                    objectName: "areaUnitLabel"
                    opensScreen: true
                    section: 1
                    rowIndex: 1
                    text: root.controller.areaUnitText
                }
            }

            SettingsTableRow {
                controller: root.controller
                objectName: "otherApplicationsRow"
                section: 2
                rowIndex: 0
                text: "More applications by the developer"
            }
        }
    }
}
