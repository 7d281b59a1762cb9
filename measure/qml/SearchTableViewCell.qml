import QtQuick
import QtQuick.Controls

// One suggestion: title over subtitle.
ItemDelegate {
    id: cell

    property string title
    property string subtitle

    padding: 0
    leftPadding: 16
    rightPadding: 16

    Accessible.role: Accessible.Button
    focusPolicy: Qt.StrongFocus   // reached with Tab, as every button
    Accessible.name: subtitle.length > 0 ? title + ", " + subtitle : title

    contentItem: Column {
        spacing: 2
        anchors.verticalCenter: parent ? parent.verticalCenter : undefined

        Label {
            objectName: "titleLabel"
            width: parent.width
            text: cell.title
            textFormat: Text.PlainText   // place names come from the network
            font.pixelSize: 17
            elide: Text.ElideRight
        }
        Label {
            objectName: "descriptionLabel"
            width: parent.width
            text: cell.subtitle
            textFormat: Text.PlainText
            visible: text.length > 0
            font.pixelSize: 13
            opacity: 0.6
            elide: Text.ElideRight
        }
    }
}
