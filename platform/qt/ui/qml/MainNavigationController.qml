import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material

// The navigation stack: a bar (the top screen's title, a back button) over the
// screens. The bar's look: default background under a blur, a light grey hairline.
Item {
    id: root

    required property QtObject controller   // MainNavigationController

    function pushView(item, animated) {
        stack.push(item, {}, animated ? StackView.PushTransition : StackView.Immediate)
    }
    function popView(animated) {
        stack.pop(animated ? StackView.PopTransition : StackView.Immediate)
    }

    StackView {
        id: stack
        objectName: "stack"
        anchors.fill: parent
        anchors.topMargin: bar.visible ? bar.height * bar.shown : 0
        onBusyChanged: if (!busy) root.controller.transitionFinished()
    }

    ToolBar {
        id: bar
        objectName: "navigationBar"
        width: parent.width
        height: 52
        // 1 shown, 0 hidden; slides when the screen asks for an animated change.
        property real shown: root.controller.navigationBarHidden ? 0 : 1
        y: -height * (1 - shown)
        visible: shown > 0
        Behavior on shown {
            enabled: root.controller.navigationBarAnimated
            NumberAnimation { duration: 200; easing.type: Easing.OutCubic }
        }
        Material.elevation: 0
        background: Rectangle {
            color: Qt.rgba(0.97, 0.97, 0.98, 0.94)
            Rectangle {
                anchors { left: parent.left; right: parent.right; bottom: parent.bottom }
                height: 1
                color: Qt.rgba(2 / 3, 2 / 3, 2 / 3, 0.5)
            }
        }

        ToolButton {
            id: backButton
            objectName: "backButton"
            anchors.verticalCenter: parent.verticalCenter
            visible: root.controller.depth > 1
            text: "‹ Back"
            font.pixelSize: 17
            font.capitalization: Font.MixedCase
            Material.foreground: Material.color(Material.Blue)
            Accessible.name: "Back"
            onClicked: root.controller.back()
        }
        Label {
            objectName: "navigationTitle"
            anchors.centerIn: parent
            text: stack.currentItem && stack.currentItem.title !== undefined ? stack.currentItem.title : ""
            font.pixelSize: 17
            font.weight: Font.DemiBold
            color: "#1c1c1e"
        }
    }
}
