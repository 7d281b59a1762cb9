pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material
import QtQuick.Layouts
import Kavrano.Platform

// An alert over the screen: a dimmed backdrop and a card with the title, the
// message, the text fields and the buttons (cancel first on the left). It takes
// the keyboard while shown: typing goes into its first field, Return presses
// its default action and Escape its cancel action, or the only action of an
// alert that has one ("OK").
FocusScope {
    id: root

    required property AlertViewController controller

    function pressFirst(cancel) {
        const actions = root.controller.actions
        for (let i = 0; i < actions.length; ++i) {
            if ((actions[i].style === AlertViewController.CancelStyle) === cancel && actions[i].enabled) {
                root.controller.press(i)
                return true
            }
        }
        return false
    }
    Keys.onReturnPressed: root.pressFirst(false)
    Keys.onEnterPressed: root.pressFirst(false)
    Keys.onEscapePressed: {
        if (!root.pressFirst(true) && root.controller.actions.length === 1 && root.controller.actions[0].enabled)
            root.controller.press(0)
    }
    // Tab stays in the alert, as in any modal dialog: past its last control it
    // comes round to the first, and back.
    function inside(item) {
        for (let i = item; i; i = i.parent)
            if (i === root) return true
        return false
    }
    function tab(from, forward, event) {
        if (inside(from.nextItemInFocusChain(forward))) {
            event.accepted = false   // the usual step
            return
        }
        let edge = from
        for (let i = from.nextItemInFocusChain(!forward); i && i !== from && inside(i); i = i.nextItemInFocusChain(!forward))
            edge = i
        edge.forceActiveFocus(forward ? Qt.TabFocusReason : Qt.BacktabFocusReason)
    }
    // The card's content is a focus scope of its own: the field is given the
    // keyboard in person.
    onActiveFocusChanged: if (activeFocus && fields.count > 0) fields.itemAt(0).forceActiveFocus()

    Rectangle {
        anchors.fill: parent
        color: Theme.dimming
        MouseArea { anchors.fill: parent }   // the screen below takes no touches
    }

    Pane {
        id: card
        objectName: "alertCard"
        anchors.centerIn: parent
        width: Math.min(parent.width - 64, 300)
        padding: 20
        background: Rectangle {
            radius: 16
            color: Theme.card
            border.color: Theme.cardBorder
        }
        Accessible.role: Accessible.AlertMessage
        Accessible.name: root.controller.title

        ColumnLayout {
            width: parent.width
            spacing: 12

            Label {
                objectName: "alertTitle"
                Layout.fillWidth: true
                text: root.controller.title
                textFormat: Text.PlainText
                font.pixelSize: 18
                font.weight: Font.DemiBold
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.Wrap
                color: Theme.ink
            }
            Label {
                objectName: "alertMessage"
                Layout.fillWidth: true
                text: root.controller.message
                textFormat: Text.PlainText
                visible: text.length > 0
                font.pixelSize: 14
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.Wrap
                color: Theme.secondaryInk
            }
            Repeater {
                id: fields
                model: root.controller.textFields
                TextField {
                    id: field
                    required property var modelData
                    required property int index
                    property string accepted: ""
                    objectName: "alertTextField" + index
                    Layout.fillWidth: true
                    Layout.minimumHeight: Theme.touchTarget
                    placeholderText: modelData.placeholder
                    Accessible.name: modelData.placeholder
                    inputMethodHints: modelData.capitalization === AlertViewController.NoCapitalization
                                       ? Qt.ImhNoAutoUppercase : Qt.ImhNone
                    Keys.onReturnPressed: root.pressFirst(false)
                    Keys.onEnterPressed: root.pressFirst(false)
                    Keys.onTabPressed: (event) => root.tab(field, !(event.modifiers & Qt.ShiftModifier), event)
                    Keys.onBacktabPressed: (event) => root.tab(field, false, event)
                    // Every edit is proposed to the field's delegate as a replaced range.
                    onTextEdited: {
                        let start = 0
                        while (start < accepted.length && start < text.length && accepted[start] === text[start])
                            ++start
                        let endOld = accepted.length, endNew = text.length
                        while (endOld > start && endNew > start && accepted[endOld - 1] === text[endNew - 1]) {
                            --endOld
                            --endNew
                        }
                        if (root.controller.proposeEdit(index, start, endOld - start, text.substring(start, endNew)))
                            accepted = text
                        else
                            text = accepted
                    }
                }
            }
            RowLayout {
                Layout.fillWidth: true
                spacing: 8
                Repeater {
                    // Cancel on the left, as the platform lays out two buttons.
                    model: {
                        let list = []
                        const actions = root.controller.actions
                        for (let i = 0; i < actions.length; ++i)
                            if (actions[i].style === AlertViewController.CancelStyle) list.push({ index: i, action: actions[i] })
                        for (let i = 0; i < actions.length; ++i)
                            if (actions[i].style !== AlertViewController.CancelStyle) list.push({ index: i, action: actions[i] })
                        return list
                    }
                    Button {
                        id: alertButton
                        required property var modelData
                        objectName: "alertButton" + modelData.action.title
                        Layout.fillWidth: true
                        Layout.preferredHeight: 48
                        text: modelData.action.title
                        enabled: modelData.action.enabled
                        flat: modelData.action.style === AlertViewController.CancelStyle
                        highlighted: modelData.action.style !== AlertViewController.CancelStyle
                        font.weight: modelData.action.style === AlertViewController.CancelStyle ? Font.Normal : Font.DemiBold
                        Material.accent: modelData.action.style === AlertViewController.DestructiveStyle ? Material.Red : Material.Blue
                        Accessible.name: text
                        font.capitalization: Font.MixedCase
                        // Drawn here: the style's raised buttons need a GPU for their shadow.
                        background: Rectangle {
                            radius: 10
                            color: alertButton.highlighted ? (alertButton.pressed ? Qt.darker(alertButton.Material.accentColor, 1.2)
                                                                          : alertButton.Material.accentColor)
                                                      : (alertButton.pressed ? "#14000000" : "transparent")
                            opacity: alertButton.enabled ? 1 : 0.4
                        }
                        onClicked: root.controller.press(alertButton.modelData.index)
                        Keys.onTabPressed: (event) => root.tab(alertButton, !(event.modifiers & Qt.ShiftModifier), event)
                        Keys.onBacktabPressed: (event) => root.tab(alertButton, false, event)
                    }
                }
            }
        }
    }
}
